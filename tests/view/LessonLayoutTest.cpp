// Maximised for a lesson: the panes stand in the middle, fitted pictures take
// the largest scale the window holds, the beat mark keeps its corner in every
// pane; the normal window keeps the template's layout. The settings go into
// the profile when their commands are chosen.
#include "ViewFixture.h"

#include "platform/Settings.h"
#include "view/CBeatMark.h"

#include <QSlider>

namespace {

class LessonLayoutTest : public ViewFixture {
protected:
    // Maximised, then held at a size of the test's choosing.
    void Maximise(QSize size)
    {
        m_pFrame->showMaximized();
        QTest::qWait(20);
        m_pFrame->resize(size);
        m_pFrame->setWindowState(m_pFrame->windowState() | Qt::WindowMaximized);
        QTest::qWait(20);
        ASSERT_TRUE(m_pFrame->isMaximized());
        m_pView->OnUpdate(CTessaroView::LayoutChanged);
    }
    static int CentreX(const QWidget* w) { return w->x() + w->width() / 2; }
};

TEST_F(LessonLayoutTest, NormalWindowKeepsTheTemplatePlaces)
{
    Start();
    m_pFrame->show();
    const QPoint keyboard = m_pView->m_pKeyboardPicture->pos();
    const QPoint slider = m_pView->m_pVolumeSlider->pos();
    m_pView->OnCommand(ID_VIEW_FIT_PICTURES); // only a maximised window fits
    EXPECT_EQ(m_pView->PictureScale(), 1);
    EXPECT_EQ(m_pView->m_pKeyboardPicture->pos(), keyboard);
    EXPECT_EQ(m_pView->m_pVolumeSlider->pos(), slider);
    m_pView->OnViewHandSign();
    EXPECT_EQ(m_pView->m_pHandSignPicture->size(), QSize(280, 240) + QSize(2, 2) * m_pView->m_pHandSignPicture->frameWidth());
}

TEST_F(LessonLayoutTest, MaximisedPanesStandInTheMiddleAtTheScaleThatFits)
{
    Start();
    struct Case { QSize window; bool fit; int keyboardScale, handScale; };
    // The keyboard pane keeps its mixer column beside it; the beat mark's
    // corners are kept free on both sides.
    const Case cases[] = {
        {{1280, 1024}, false, 2, 2},
        {{1280, 1024}, true, 5, 3},
        {{1920, 1080}, true, 7, 4},
        {{800, 600}, true, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window.width() << "x" << c.window.height()
                                        << (c.fit ? " fitted" : ""));
        if ((m_pView->m_bFitPictures != 0) != c.fit)
            m_pView->OnCommand(ID_VIEW_FIT_PICTURES);
        m_pView->OnViewKeyboard();
        Maximise(c.window);
        const int w = m_pView->width(), h = m_pView->height();
        EXPECT_EQ(m_pView->PictureScale(), c.keyboardScale);
        EXPECT_EQ(m_pView->m_pKeyboardPicture->ShownPicture().size(),
                  QSize(174, 124) * c.keyboardScale);
        // The keyboard and its mixer column, as one group, centred.
        const int left = m_pView->m_pVolumeSlider->x() - 2;
        const int right = m_pView->m_pKeyboardPicture->geometry().right();
        EXPECT_NEAR(left + right, w, 16);
        EXPECT_NEAR(m_pView->m_pKeyboardPicture->y() + m_pView->m_pKeyboardPicture->height() / 2,
                    h / 2, 2);

        m_pView->OnViewHandSign();
        EXPECT_EQ(m_pView->PictureScale(), c.handScale);
        const CHandSignPane* hand = m_pView->m_pHandSignPicture;
        EXPECT_EQ(hand->size(), QSize(280, 240) * c.handScale + QSize(2, 2) * hand->frameWidth());
        EXPECT_NEAR(CentreX(hand), w / 2, 1);
        EXPECT_NEAR(hand->y() + hand->height() / 2, h / 2, 1);
        // The mark stays clear of the fitted picture.
        EXPECT_FALSE(m_pView->BeatMark()->geometry().intersects(hand->geometry()));
        m_pFrame->showNormal();
        QTest::qWait(20);
    }
}

TEST_F(LessonLayoutTest, BeatMarkShowsInEveryPaneWhileTheMetronomeRuns)
{
    Start();
    m_pFrame->show();
    CBeatMark* mark = m_pView->BeatMark();
    EXPECT_TRUE(mark->isHidden());
    m_pView->OnCommand(ID_MIDI_TOGGLE_METRONOME);
    for (unsigned mode : {ID_VIEW_KEYBOARD, ID_VIEW_MIDI_INPUT, ID_VIEW_HAND_SIGN}) {
        m_pView->OnCommand(mode);
        EXPECT_TRUE(mark->isVisible()) << mode;
        EXPECT_TRUE(m_pView->rect().contains(mark->geometry())) << mode;
        // On top of whatever pane shows there.
        EXPECT_EQ(m_pView->children().last(), mark) << mode;
    }
    m_pView->OnCommand(ID_MIDI_TOGGLE_METRONOME);
    EXPECT_TRUE(mark->isHidden());
}

TEST_F(LessonLayoutTest, KeyNamesAndFitAreKeptInTheProfile)
{
    Start();
    m_pView->OnCommand(ID_VIEW_KEY_SYLLABLES);
    EXPECT_TRUE(m_pView->IsCommandChecked(ID_VIEW_KEY_SYLLABLES));
    m_pView->OnCommand(ID_VIEW_KEY_LETTERS); // the one excludes the other
    EXPECT_FALSE(m_pView->IsCommandChecked(ID_VIEW_KEY_SYLLABLES));
    m_pView->OnCommand(ID_VIEW_FIT_PICTURES);
    EXPECT_EQ(Settings::Read(Settings::KeyNames), 1);
    EXPECT_EQ(Settings::Read(Settings::FitPictures), 1);
    EXPECT_EQ(m_pView->KeyLabel(66), QString::fromUtf8("F\u266F"));
    m_pView->OnCommand(ID_MIDI_TONIC_FIRST + 5); // F: written with flats
    EXPECT_EQ(m_pView->KeyLabel(70), QString::fromUtf8("B\u266D"));
    m_pView->OnCommand(ID_VIEW_KEY_LETTERS);
    EXPECT_EQ(Settings::Read(Settings::KeyNames), 0);
    EXPECT_TRUE(m_pView->KeyLabel(60).isEmpty());

    // Garbage in the profile comes back in range at the next start.
    Stop();
    kvtest::ClearProfile();
    Settings::Write(Settings::KeyNames, 9);
    Settings::Write(Settings::FitPictures, -3);
    Start();
    EXPECT_EQ(m_pView->m_nKeyNames, 0);
    EXPECT_EQ(m_pView->m_bFitPictures, 0);
}

} // namespace
