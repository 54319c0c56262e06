// The hand-sign picture: which sign shows as notes go on and off through the
// view's note routing, and the twice-size set that follows a second after the
// maximised pane is shown.
#include "ViewFixture.h"

#include "view/HandSigns.h"

namespace {

// What the control shows, by degree: -1 blank, 0 do ... 12 high do.
constexpr int kEmpty = -100, kBlank = -1, kDo = 0, kMi = 4, kSo = 7, kHighDo = 12;
constexpr int kDegrees[] = {-1, 0, 2, 4, 5, 7, 9, 11, 12};

class HandSignPaneTest : public ViewFixture {
protected:
    void SetUp() override
    {
        ViewFixture::SetUp();
        Start(0, 1);
        Command(ID_VIEW_HAND_SIGN);
    }
    CHandSignPane* Pane() const { return m_pView->m_pHandSignPicture; }
    void Play(uint32_t msg) const { m_pView->SendAndAnimate(msg); }
    int Shown() const
    {
        const QImage shown = Pane()->pixmap().toImage();
        if (shown.isNull())
            return kEmpty;
        for (int degree : kDegrees)
            if (Pane()->HandSignHolder(HandSignHolderIndex(degree)).GetBitmapHandle().toImage() == shown)
                return degree;
        return -99;
    }
    bool SignsOfSize(QSize size) const
    {
        for (int h = 1; h < kHandSignHolders; ++h)
            if (Pane()->HandSignHolder(h).GetSize() != size)
                return false;
        return true;
    }
};

} // namespace

TEST_F(HandSignPaneTest, SignOfTheNewNoteElseOfTheHighestKeyHeld)
{
    EXPECT_EQ(Shown(), kBlank); // what a load starts from
    const struct {
        uint32_t msg;
        int shows;
    } steps[] = {
        {On(60), kDo},    {Off(60), kBlank}, {On(64), kMi}, {On(67), kSo}, {Off(67), kMi},
        {On(61), kMi}, {Off(64), kEmpty}, // a black key alone has no sign and is the highest held
        {Off(61), kBlank}, {On(67), kSo},  {On(80), kSo}, {On(67, 0), kBlank}, // velocity 0 is a release
        {On(64), kMi}, {MakeControlChange(0, 7, 1), kMi},
        {On(59), kBlank}, // below the octave: the blank picture's degree, even with E held
        {On(72), kHighDo}, {Off(72), kMi}, {Off(64), kBlank},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        Play(steps[i].msg);
        EXPECT_EQ(Shown(), steps[i].shows) << "step " << i;
    }

    // In the male voice the PC keys sound an octave down but show the octave above.
    Command(ID_PCKEY_MALE);
    m_pView->OnPCKeyNote(6, 0x52); // R: note 48, display note 60
    EXPECT_EQ(Shown(), kDo);
    m_pView->EndHeldPCKeys();
    EXPECT_EQ(Shown(), kBlank);
}

TEST_F(HandSignPaneTest, MaximisedPaneShowsTheBlankAtOnceAndTheSignsASecondLater)
{
    m_pFrame->showMaximized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return Pane()->IsMaximisedSet(); }));
    EXPECT_EQ(Shown(), kBlank);
    Play(On(67)); // played before the set arrives, shown at the pane's size all the same
    EXPECT_EQ(Shown(), kSo);
    EXPECT_EQ(Pane()->pixmap().size(), QSize(560, 480));
    Play(Off(67));
    ASSERT_TRUE(kvtest::WaitFor([&] { return !Pane()->IsLargeSignLoadPending(); }, 3000));
    EXPECT_TRUE(SignsOfSize(QSize(560, 480)));

    // Restored while the large set is still due: the normal signs stay.
    m_pFrame->showNormal();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !Pane()->IsMaximisedSet(); }));
    m_pFrame->showMaximized();
    ASSERT_TRUE(kvtest::WaitFor([&] { return Pane()->IsLargeSignLoadPending(); }));
    m_pFrame->showNormal();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !Pane()->IsMaximisedSet(); }));
    QTest::qWait(CHandSignPane::kLargeSignDelayMs + 200);
    EXPECT_TRUE(SignsOfSize(QSize(280, 240)));
}
