// The keyboard picture: notes paint their keys at every scale, with their
// names when the lesson asks, and stay down through repaints and other panes;
// the mouse plays it, its events delivered as the window system delivers them
// (the pressed widget keeps the mouse).
#define QTEST_QPA_MOUSE_HANDLING
#include "ViewFixture.h"
#include "res/artgen/ScaledArt.h"

#include <QPainter>

namespace {

// White key w at x = 6 + 20w, y 78, 22 x 44; black key b (the white key to its
// left) at x = 20 + 20b, y 2, 12 x 68; all twice maximised.
QRect KeyRect(int note, int f = 1)
{
    constexpr int kWhite[] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6, 7};
    constexpr int kBlack[] = {-1, 0, -1, 1, -1, -1, 3, -1, 4, -1, 5, -1, -1};
    const int k = note - 60;
    return kWhite[k] >= 0 ? QRect((6 + 20 * kWhite[k]) * f, 78 * f, 22 * f, 44 * f)
                          : QRect((20 + 20 * kBlack[k]) * f, 2 * f, 12 * f, 68 * f);
}

bool HasRedDot(const QImage& image, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qRed(image.pixel(x, y)) > 180 && qGreen(image.pixel(x, y)) < 80)
                return true;
    return false;
}

class KeyboardPaneTest : public ViewFixture {
protected:
    void SetUp() override { ViewFixture::SetUp(); StartShown(); }
    void TearDown() override
    {
        QTestPrivate::qtestMouseButtons = Qt::NoButton; // QTest keeps it across tests
        ViewFixture::TearDown();
    }

    CKeyboardPane* Pane() const { return m_pView->m_pKeyboardPicture; }
    void Draw(uint32_t msg) const { Pane()->DrawKeyboardMessage(msg); }
    QImage Shown() const { return Pane()->ShownPicture().convertToFormat(QImage::Format_RGB32); }
    QImage OnScreen() const // the control's own painting, the picture's pixels
    {
        return Pane()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(
            QRect(Pane()->PictureOrigin(), Pane()->ShownPicture().size()));
    }
    std::vector<int> Down() const
    {
        std::vector<int> down;
        for (int k = 0; k < 13; ++k)
            if (m_pView->m_GUIKeySlots[size_t(k)].IsPressed())
                down.push_back(60 + k);
        return down;
    }

    // Mouse, at points of the picture (normal scale) given in the window.
    QPoint At(QPoint onPicture) const { return Pane()->mapTo(m_pFrame, Pane()->PictureOrigin() + onPicture); }
    QPoint AtKey(int note) const { return At(KeyRect(note).center()); }
    QPoint Gap() const { return At({35, 3}); }
    QPoint Beside() const { return At({-15, 60}); } // the view, left of the picture
    void Press(QPoint p) { QTest::mousePress(m_pFrame->windowHandle(), Qt::LeftButton, {}, p); }
    void Move(QPoint p) { QTest::mouseMove(m_pFrame->windowHandle(), p); }
    void Release(QPoint p) { QTest::mouseRelease(m_pFrame->windowHandle(), Qt::LeftButton, {}, p); }
    void Click(QPoint p) { QTest::mouseClick(m_pFrame->windowHandle(), Qt::LeftButton, {}, p); }
};

} // namespace

// The hit map is read at the pane's own place and scale.
TEST_F(KeyboardPaneTest, EveryKeyPaintsInItsRectangleComesBackUpAndIsFoundAtBothScales)
{
    for (int f : {1, 2}) {
        Pane()->LoadKeyboardBitmaps(f == 2);
        m_pView->LayoutPanes();
        const QPoint origin = Pane()->pos() + Pane()->PictureOrigin();
        for (QPoint g : {QPoint(5, 60), QPoint(35, 3), QPoint(173, 123)})
            EXPECT_EQ(m_pView->HitTestKeyboard(origin + g * f), -1) << g.x() << "," << g.y() << " x" << f;
        const QImage plain = Shown();
        ASSERT_EQ(plain.size(), QSize(174, 124) * f);
        for (int d : {60, 61, 66, 72}) { // the ends, a black key, a white one between
            const QRect r = KeyRect(d, f);
            EXPECT_EQ(m_pView->HitTestKeyboard(origin + r.center()), d) << d << " x" << f;
            Draw(On(d));
            EXPECT_EQ(Down(), std::vector<int>{d});
            QImage shown = Shown();
            EXPECT_TRUE(HasRedDot(shown, r)) << d;
            QPainter(&shown).drawImage(r.topLeft(), plain.copy(r));
            EXPECT_EQ(shown, plain) << d << ": drawn outside its rectangle";
            Draw(On(d, 0)); // a note-on of velocity 0 is a release
            EXPECT_EQ(Shown(), plain) << d;
        }
        for (uint32_t msg : {On(59), On(73), MakeControlChange(0, 7, 100)})
            Draw(msg);
        EXPECT_TRUE(Down().empty());
    }
}

// Held keys side by side (overlapping white-key overlays) and a black key,
// named by letters at one scale and by syllables at the other.
TEST_F(KeyboardPaneTest, HeldKeysCarryTheirNamesOnlyOnThemselvesUntilReleased)
{
    const std::vector<int> held{61, 64, 65, 72};
    for (auto [f, names] : {std::pair{1, ID_VIEW_KEY_LETTERS}, std::pair{2, ID_VIEW_KEY_SYLLABLES}}) {
        Pane()->LoadKeyboardBitmaps(f);
        const QImage plain = Shown();
        for (int d : held)
            Draw(On(d));
        const QImage unnamed = Shown();
        for (int d : held)
            Draw(Off(d));
        Command(names); // reloads at the window's own scale
        Pane()->LoadKeyboardBitmaps(f);
        for (int d : held)
            Draw(On(d));
        const QImage named = Shown();
        QImage outside = named;
        for (int d : held) {
            const QRect r = KeyRect(d, f);
            EXPECT_NE(named.copy(r), unnamed.copy(r)) << d << " x" << f << ": no name";
            EXPECT_TRUE(HasRedDot(named, r)) << d << " x" << f;
            QPainter(&outside).drawImage(r.topLeft(), unnamed.copy(r));
        }
        EXPECT_EQ(outside, unnamed) << "x" << f << ": a name outside its key";
        Pane()->LoadKeyboardBitmaps(f); // composed afresh: the same names
        EXPECT_EQ(Shown(), named) << "x" << f;
        for (int d : {65, 61, 72, 64})
            Draw(Off(d));
        EXPECT_EQ(Shown(), plain) << "x" << f << ": a name left behind";
        Command(names); // names off again
    }
}

// A maximised window fitted to a big screen: the pictures drawn at scale 3.
TEST_F(KeyboardPaneTest, ScaleThreeIsTheNormalPictureThreeTimesOverAndPlays)
{
    Pane()->LoadKeyboardBitmaps(3);
    m_pView->LayoutPanes();
    if (artgen::KeyboardBitmapsAt(3).empty()) {
        EXPECT_EQ(Pane()->Scale(), 2);
        EXPECT_EQ(Shown().size(), QSize(348, 248));
        GTEST_SKIP() << "the artwork generator draws no scale 3 yet; the pane falls back to scale 2";
    }
    ASSERT_EQ(Pane()->Scale(), 3);
    const QImage plain = Shown();
    ASSERT_EQ(plain.size(), QSize(522, 372));
    const QPoint origin = Pane()->pos() + Pane()->PictureOrigin();
    // Opposite corners of hit-map areas where the key fills them, as
    // whole 3 x 3 blocks; beside them no key.
    const struct { int note; QRect area; } keys[] = {
        {60, QRect(QPoint(6, 6), QPoint(25, 117))}, {61, QRect(QPoint(20, 2), QPoint(31, 69))},
        {65, QRect(QPoint(66, 6), QPoint(85, 117))}, {72, QRect(QPoint(146, 6), QPoint(167, 117))}};
    for (const auto& k : keys) {
        const QRect a(k.area.topLeft() * 3, k.area.size() * 3);
        for (QPoint p : {a.topLeft(), a.bottomRight()})
            EXPECT_EQ(m_pView->HitTestKeyboard(origin + p), k.note) << k.note << " at " << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(17, 180), QPoint(105, 6), QPoint(504, 354)})
        EXPECT_EQ(m_pView->HitTestKeyboard(origin + p), -1) << p.x() << "," << p.y();

    Command(ID_VIEW_KEY_LETTERS);
    Pane()->LoadKeyboardBitmaps(3);
    for (int d : {61, 64}) {
        Draw(On(d));
        QImage shown = Shown();
        EXPECT_TRUE(HasRedDot(shown, KeyRect(d, 3))) << d;
        QPainter(&shown).drawImage(KeyRect(d, 3).topLeft(), plain.copy(KeyRect(d, 3)));
        EXPECT_EQ(shown, plain) << d << ": drawn outside its rectangle";
        Draw(Off(d));
        EXPECT_EQ(Shown(), plain) << d;
    }
}

TEST_F(KeyboardPaneTest, KeysThatAreDownSurviveRepaintsReloadsAndOtherPanes)
{
    for (int n : {60, 64, 67})
        m_pView->SendAndAnimate(m_pView->MakeNoteMessage(uint8_t(n), true));
    auto expectOnScreen = [&](const std::vector<int>& down) {
        const QImage screen = OnScreen();
        for (int d = 60; d <= 72; ++d)
            EXPECT_EQ(HasRedDot(screen, KeyRect(d)), std::count(down.begin(), down.end(), d) == 1) << d;
    };
    expectOnScreen({60, 64, 67});
    const QImage before = OnScreen();
    Pane()->repaint();
    m_pView->OnUpdate(CTessaroView::LayoutChanged); // lays out and reloads the set
    Command(ID_VIEW_KEYBOARD);
    EXPECT_EQ(OnScreen(), before);

    Command(ID_VIEW_HAND_SIGN); // E goes up while the hand sign shows,
    m_pView->SendAndAnimate(m_pView->MakeNoteMessage(64, false));
    Command(ID_VIEW_MIDI_INPUT); // G while the log shows
    m_pView->SendAndAnimate(m_pView->MakeNoteMessage(67, false));
    Command(ID_VIEW_KEYBOARD);
    expectOnScreen({60});
}

TEST_F(KeyboardPaneTest, MouseClicksAndDragsPlayTheKeysUnderIt)
{
    // Sliding across keys plays them in turn, within one key nothing new, off them nothing.
    Press(AtKey(60));
    EXPECT_EQ(Down(), std::vector<int>{60});
    Move(AtKey(62));
    Move(AtKey(62) + QPoint(3, -10));
    Move(AtKey(63));
    Move(Beside());
    Move(At({-300, 60})); // beyond the window
    Move(AtKey(64));
    Release(AtKey(64));
    EXPECT_EQ(Sent(), (Msgs{On(60), Off(60), On(62), Off(62), On(63), Off(63), On(64), Off(64)}));
    EXPECT_TRUE(Down().empty());

    m_pMidi->ClearSent(); // onto a key from off the keys: only its note-on
    Press(Gap());
    Move(AtKey(65));
    EXPECT_EQ(Sent(), Msgs{On(65)});
    Release(AtKey(65));

    m_pMidi->ClearSent(); // the male voice sounds an octave down, the picture's key is down
    Command(ID_PCKEY_MALE);
    Press(AtKey(60));
    EXPECT_TRUE(HasRedDot(Shown(), KeyRect(60)));
    Command(ID_PCKEY_FEMALE); // a voice change under the button ends the note that sounds
    Release(AtKey(60));
    EXPECT_EQ(Sent(), (Msgs{On(48), Off(48)}));

    m_pMidi->ClearSent(); // beside the keys, and while another pane shows: nothing
    Click(Beside());
    Command(ID_VIEW_HAND_SIGN);
    Click(AtKey(60));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(KeyboardPaneTest, HeldMouseNoteEndsWhenTheReleaseCannotCome)
{
    Press(AtKey(65));
    Release(At({-300, -100})); // outside the window: the pressed pane still hears it
    Press(AtKey(65)); // the release went to a popup: a move without the button ends it
    qt_handleMouseEvent(m_pFrame->windowHandle(), AtKey(66), m_pFrame->mapToGlobal(AtKey(66)), Qt::NoButton,
                        Qt::NoButton, QEvent::MouseMove, {}, 0);
    QApplication::processEvents();
    Release(AtKey(66));
    Press(AtKey(67)); // the pane goes away under the button
    Command(ID_VIEW_HAND_SIGN);
    Release(AtKey(67));
    Command(ID_VIEW_KEYBOARD);
    Press(AtKey(69)); // another window takes over
    QWidget other;
    Activate(&other);
    EXPECT_EQ(Sent(), (Msgs{On(65), Off(65), On(65), Off(65), On(67), Off(67), On(69), Off(69)}));

    Activate(m_pFrame); // quitting with the button down
    m_pMidi->ClearSent();
    Press(AtKey(72));
    m_pFrame->close();
    EXPECT_EQ(Sent(), (Msgs{On(72), Off(72)}));
    EXPECT_TRUE(Down().empty());
}
