// The main frame: bars and their saved layout, the cursor while maximised,
// window states, prompts in the status bar.
#include "ViewFixture.h"

#include "app/CMessagePane.h"
#include "res/StringTable.h"

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
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

TEST_F(ViewFixture, MaximisedTheLargeCursorAndFontComeStayThroughMinimisingAndAHandOverAndGoWhenRestored)
{
    Start();
    Command(ID_VIEW_MIDI_INPUT);
    m_pFrame->show();
    const auto logPoints = [&] { return m_pView->m_pLogEdit->font().pointSize(); };
    const auto cursor = [] {
        const QCursor* c = QApplication::overrideCursor();
        return c ? c->shape() : Qt::ArrowCursor;
    };
    EXPECT_EQ(logPoints(), 10);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The log shows when the window is maximised: its large font comes at once.
    m_pFrame->showMaximized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pFrame->isMaximized(); }));
    EXPECT_EQ(logPoints(), 24);
    EXPECT_EQ(cursor(), Qt::BitmapCursor);
    m_pFrame->OnHideCursorTimer(); // three seconds without movement
    EXPECT_EQ(cursor(), Qt::BlankCursor);
    m_pFrame->OnMouseActivity();
    EXPECT_EQ(cursor(), Qt::BitmapCursor);

    // Minimised, the cursor is the normal one; a second start brings the
    // window back maximised, with its large font and cursor.
    m_pFrame->showMinimized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pFrame->isMinimized(); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    m_pFrame->BringToFront();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !m_pFrame->isMinimized(); }));
    EXPECT_TRUE(m_pFrame->isMaximized());
    EXPECT_EQ(logPoints(), 24);
    EXPECT_EQ(cursor(), Qt::BitmapCursor);
    Command(ID_VIEW_KEYBOARD);
    EXPECT_TRUE(m_pView->m_pKeyboardPicture->IsMaximisedSet());

    // Restoring brings back the normal arrow and font, even from a hidden
    // cursor; a late timer does nothing.
    Command(ID_VIEW_MIDI_INPUT);
    m_pFrame->OnHideCursorTimer();
    m_pFrame->showNormal();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !m_pFrame->isMaximized(); }));
    EXPECT_EQ(logPoints(), 10);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(m_pFrame->IsCursorHidden());
    m_pFrame->OnHideCursorTimer();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewFixture, PromptsAreReadWholeAndGreyedItemsShowTheirsToo)
{
    Start();
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame));
    CMessagePane* pane = m_pFrame->MessagePane();
    const auto shownWhole = [&](const QString& prompt) {
        return kvtest::WaitFor([&] {
            return m_pFrame->PaneText(0) == prompt && !pane->IsElided() &&
                   pane->width() >= pane->fontMetrics().horizontalAdvance(prompt);
        });
    };
    const auto endPrompt = [&] {
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(m_pFrame, &none);
    };
    // Every menu prompt, in the window at its normal size.
    for (unsigned id : {ID_APP_EXIT, ID_APP_ABOUT, ID_PCKEY_FEMALE, ID_MIDI_SETUP_DUMP_FORMAT,
                        ID_VIEW_STANDARD_TOOLBAR, ID_EDIT_CUT}) {
        QAction* a = m_pFrame->Action(id);
        a->showStatusText(m_pFrame);
        EXPECT_TRUE(shownWhole(a->statusTip())) << qPrintable(pane->text());
    }
    endPrompt();
    EXPECT_TRUE(kvtest::WaitFor([&] { return m_pFrame->IndicatorPanesShown(); }));
    EXPECT_EQ(m_pFrame->PaneText(0), StringTable::GetString(AFX_IDS_IDLEMESSAGE));
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_METRONOME), "MM 100 : 4");

    // A greyed item pointed at in its open menu.
    QMenuBar* bar = m_pFrame->menuBar();
    QAction* logInput = m_pFrame->Action(ID_MIDI_LOG_INPUT);
    ASSERT_FALSE(logInput->isEnabled());
    QMenu* midi = nullptr;
    for (QAction* top : bar->actions())
        if (top->menu() && top->menu()->actions().contains(logInput))
            midi = top->menu();
    ASSERT_NE(midi, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(midi->menuAction()).center());
    ASSERT_TRUE(kvtest::WaitFor([&] { return midi->isVisible(); }));
    QTest::mouseMove(midi, midi->actionGeometry(logInput).center());
    EXPECT_TRUE(shownWhole(logInput->statusTip())) << qPrintable(pane->text());
    midi->close();
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pFrame->IndicatorPanesShown(); }));

    // Maximised there is room beside the other panes: they stay.
    const int normalWidth = pane->width();
    m_pFrame->showMaximized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return pane->width() > normalWidth; }));
    QAction* about = m_pFrame->Action(ID_APP_ABOUT);
    about->showStatusText(m_pFrame);
    EXPECT_TRUE(shownWhole(about->statusTip()));
    EXPECT_TRUE(m_pFrame->IndicatorPanesShown());
}
