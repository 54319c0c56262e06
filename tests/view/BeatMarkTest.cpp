// The metronome's visible beat on the view's metronome and the real timer.
#include "ViewFixture.h"

#include "view/CBeatMark.h"
#include "view/CMetronome.h"

#include <QImage>
#include <QPainter>

namespace {

class BeatMarkTest : public ViewFixture {
protected:
    std::vector<int> Clicks() const { return kvtest::ClickVelocities(Sent()); }

    // Runs the event loop until `done`, noting every pulse the mark shows as it changes.
    bool Watch(const CBeatMark& mark, const std::function<bool()>& done, int timeoutMs)
    {
        return kvtest::WaitFor([&] {
            const MetronomePulse& shown = mark.ShownPulse();
            if (shown.nSequence != 0 && (m_Seen.empty() || !(m_Seen.back() == shown)))
                m_Seen.push_back(shown);
            return done();
        }, timeoutMs);
    }

    std::vector<MetronomePulse> m_Seen;
};

QImage Lamp(int side, bool accent, bool lit)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    CBeatMark::Paint(painter, side, {1, accent ? 1u : 2u, accent, 0}, lit);
    return image;
}

} // namespace

TEST_F(BeatMarkTest, FollowsEveryPulseSentInOrderAndGoesOutWithTheMetronome)
{
    Start(0, 1);
    m_pView->m_nMM = 140; // the fastest tempo
    m_pView->m_nPPM = 3;
    CBeatMark mark(m_pView->Metronome(), m_pView);
    // Not shown: what is checked is the mark's state, and painting a shown
    // window makes Qt convert images on its own threads, which the thread
    // checker cannot see into.
    m_pMidi->ClearSent();
    Command(ID_MIDI_TOGGLE_METRONOME);
    mark.Start();
    ASSERT_FALSE(mark.isHidden());

    ASSERT_TRUE(Watch(mark, [&] { return m_Seen.size() >= 7 && mark.IsLit(); }, 8000));
    Command(ID_MIDI_TOGGLE_METRONOME);
    // A pulse sent just before the stop still reaches the mark.
    const size_t sent = Clicks().size();
    ASSERT_TRUE(Watch(mark, [&] { return mark.ShownPulse().nSequence == sent; }, 2000));
    mark.Stop();
    EXPECT_TRUE(mark.isHidden());
    EXPECT_FALSE(mark.IsLit());

    // Each pulse sent at the port shown once, in order, numbered in its
    // measure, the accent where the accented click went out.
    const std::vector<int> velocities = Clicks();
    ASSERT_EQ(m_Seen.size(), velocities.size());
    for (size_t i = 0; i < m_Seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_Seen[i].nSequence, i + 1);
        EXPECT_EQ(m_Seen[i].nNumber, i % 3 + 1);
        EXPECT_EQ(m_Seen[i].bAccent, velocities[i] == 112);
        EXPECT_EQ(m_Seen[i].bAccent, m_Seen[i].nNumber == 1);
    }

    // Stopped, the mark no longer follows; a new start counts from 1 again.
    const MetronomePulse last = mark.ShownPulse();
    m_pMidi->ClearSent();
    Command(ID_MIDI_TOGGLE_METRONOME);
    EXPECT_EQ(m_pView->Metronome().LastPulse().nSequence, 0u);
    ASSERT_TRUE(kvtest::WaitFor([&] { return !Clicks().empty(); }, 3000));
    kvtest::WaitFor([&] { return m_pView->Metronome().LastPulse().nSequence == 1; }, 500);
    const MetronomePulse first = m_pView->Metronome().LastPulse();
    EXPECT_EQ(first.nNumber, 1u);
    EXPECT_TRUE(first.bAccent);
    EXPECT_EQ(mark.ShownPulse(), last);
    Command(ID_MIDI_TOGGLE_METRONOME);

    // With no measure at all every pulse is a 1, and lit it goes dim by itself.
    m_pView->Metronome().Arm(0);
    m_pView->Metronome().MetronomeTick();
    m_pView->Metronome().MetronomeTick();
    mark.Start();
    EXPECT_EQ(mark.ShownPulse().nSequence, 2u);
    EXPECT_EQ(mark.ShownPulse().nNumber, 1u);
    EXPECT_TRUE(mark.ShownPulse().bAccent);
    m_pView->Metronome().MetronomeTick();
    EXPECT_TRUE(kvtest::WaitFor([&] { return mark.ShownPulse().nSequence == 3 && mark.IsLit(); }));
    EXPECT_TRUE(kvtest::WaitFor([&] { return !mark.IsLit(); }));
    mark.Stop();
}

TEST_F(BeatMarkTest, ScaleSetsTheSizeAndTheAccentStandsApartInColourAndSize)
{
    Start(0, 1);
    CBeatMark mark(m_pView->Metronome(), m_pView);
    mark.SetScale(3);
    EXPECT_EQ(mark.size(), QSize(120, 120));
    mark.SetScale(1);
    EXPECT_EQ(mark.size(), QSize(40, 40));

    for (int side : {40, 160}) {
        SCOPED_TRACE(side);
        // Between the number and the weak pulse's rim, and between that rim and the accent's.
        const QPoint inner(side / 2, side / 4), outer(side / 2, side / 12);
        const QImage accent = Lamp(side, true, true), weak = Lamp(side, false, true), dim = Lamp(side, true, false);
        EXPECT_NE(accent.pixelColor(inner), weak.pixelColor(inner));
        EXPECT_GT(accent.pixelColor(inner).red(), 200);
        EXPECT_GT(weak.pixelColor(inner).green(), 100);
        EXPECT_NE(accent.pixelColor(outer).alpha(), 0);
        EXPECT_EQ(weak.pixelColor(outer).alpha(), 0);
        EXPECT_EQ(dim.pixelColor(inner).alpha(), 0);
        EXPECT_NE(dim, Lamp(side, false, false)); // different numbers
    }
}
