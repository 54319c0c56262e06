#pragma once
// The metronome's beat made visible: a round lamp that flashes at each pulse
// the metronome sounds, a big red disc on the first of the measure and a
// smaller amber one on the others, with the pulse's number in the measure on
// it. Between flashes the outline and the last number stay, so a pupil sees
// that the metronome runs. Made for lessons over video calls, whose noise
// suppression tends to take the clicks away.
//
// What is shown is always the pulse the timer really sent: the mark reads the
// metronome's record of it when the pulse thread wakes the UI thread, so it is
// at most a frame behind and never ahead. Following costs the pulse thread
// nothing: it records and wakes whether or not anyone looks, and nothing here
// ever makes it wait.
#include "view/CMetronome.h"

#include <QTimer>
#include <QWidget>

class CBeatMark : public QWidget {
    Q_OBJECT
public:
    // The side of the mark at scale 1, in pixels.
    static constexpr int kSide = 40;
    // The longest a flash lasts; at fast tempi it is half the period.
    static constexpr int64_t kMaxFlashNs = 150'000'000;

    // On the thread the metronome was made on (the UI thread). The metronome
    // must outlive the mark.
    explicit CBeatMark(const CMetronome& metronome, QWidget* parent = nullptr);
    ~CBeatMark() override;

    // Shows the mark and follows the metronome's pulses from the one it
    // sounded last (if any).
    void Start();
    // Hides it and stops following; no flash stays lit.
    void Stop();
    bool IsFollowing() const { return m_bFollowing; }

    // 1 normal, 2 maximised, 3..8 fitted pictures: the mark grows with it.
    void SetScale(int scale);
    int Scale() const { return m_nScale; }
    QSize sizeHint() const override;

    // The pulse shown (sequence 0 before the first) and whether it is lit.
    const MetronomePulse& ShownPulse() const { return m_Shown; }
    bool IsLit() const { return m_bLit; }

    // Draws the lamp into a side x side square at the painter's origin.
    static void Paint(QPainter& painter, int side, const MetronomePulse& pulse, bool lit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnPulseWake();
    // Shows the metronome's last pulse, lit while its flash lasts.
    void ShowLastPulse();
    void OnFlashOver();
    int64_t FlashNs() const;

    const CMetronome& m_Metronome;
    QTimer m_FlashTimer;
    MetronomePulse m_Shown;
    bool m_bLit = false;
    bool m_bFollowing = false;
    int m_nScale = 1;
};
