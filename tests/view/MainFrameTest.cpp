// The main frame: bars and their saved layout, the cursor while maximised, edit commands.
#include "ViewFixture.h"

#include <QClipboard>
#include <QStatusBar>
#include <QToolBar>

TEST_F(ViewFixture, BarVisibilityIsKeptAcrossRunsAndADamagedLayoutIsIgnored)
{
    Start();
    Command(ID_VIEW_STANDARD_TOOLBAR);
    Command(ID_VIEW_STATUS_BAR_CMD);
    EXPECT_FALSE(m_pFrame->IsStandardToolbarDocked());
    Stop();
    Start();
    EXPECT_TRUE(m_pFrame->ToolBar()->isHidden());
    EXPECT_TRUE(m_pFrame->statusBar()->isHidden());
    Command(ID_VIEW_STANDARD_TOOLBAR);
    EXPECT_TRUE(m_pFrame->IsStandardToolbarDocked());
    Stop();

    kvtest::ClearProfile();
    Profile::WriteProfileBinary("ToolBars2", "State", QByteArray("\xde\xad\xbe\xef garbage", 13));
    Profile::WriteProfileInt("ToolBars2", "StatusBar", 42);
    Start();
    EXPECT_FALSE(m_pFrame->ToolBar()->isHidden());
    EXPECT_FALSE(m_pFrame->statusBar()->isHidden());
}

TEST_F(ViewFixture, LargeCursorHidesWhenStillAndComesBackOnMovement)
{
    Start();
    m_pFrame->show();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    m_pFrame->showMaximized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pFrame->isMaximized(); }));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BitmapCursor);
    m_pFrame->OnHideCursorTimer(); // three seconds without movement
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BlankCursor);
    m_pFrame->OnMouseActivity();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BitmapCursor);

    // Restoring brings back the normal arrow, even from hidden; a late timer does nothing.
    m_pFrame->OnHideCursorTimer();
    m_pFrame->showNormal();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !m_pFrame->isMaximized(); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(m_pFrame->IsCursorHidden());
    m_pFrame->OnHideCursorTimer();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewFixture, EditCommandsActOnTheLogOnly)
{
    Start();
    m_pFrame->show();
    Command(ID_VIEW_MIDI_INPUT);
    QPlainTextEdit* edit = m_pView->m_pLogEdit;
    edit->setPlainText("first line\nsecond line");
    m_pFrame->activateWindow();
    edit->setFocus();
    ASSERT_TRUE(kvtest::WaitFor([&] { return edit->hasFocus(); }));
    m_pFrame->UpdateCommandUI();
    EXPECT_FALSE(m_pFrame->Action(ID_EDIT_COPY)->isEnabled()); // nothing selected

    edit->selectAll();
    m_pFrame->UpdateCommandUI();
    Command(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), "first line\nsecond line");
    Command(ID_EDIT_CUT);
    EXPECT_TRUE(edit->toPlainText().isEmpty());
    m_pFrame->UpdateCommandUI();
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(edit->toPlainText(), "first line\nsecond line");

    Command(ID_VIEW_KEYBOARD);
    m_pFrame->UpdateCommandUI();
    for (unsigned id : {ID_EDIT_COPY, ID_EDIT_CUT, ID_EDIT_PASTE, ID_EDIT_UNDO})
        EXPECT_FALSE(m_pFrame->Action(id)->isEnabled()) << id;
}
