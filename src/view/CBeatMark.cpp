#include "view/CBeatMark.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kAccentColor(0xE0, 0x1B, 0x24);
const QColor kPulseColor(0xF0, 0xA0, 0x00);
const QColor kDimColor(0x70, 0x70, 0x70);

} // namespace

CBeatMark::CBeatMark(const CMetronome& metronome, QWidget* parent)
    : QWidget(parent)
    , m_Metronome(metronome)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
    hide();
    m_FlashTimer.setSingleShot(true);
    // A flash of 150 ms should not end 5% late.
    m_FlashTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_FlashTimer, &QTimer::timeout, this, &CBeatMark::OnFlashOver);
    connect(&m_Metronome.PulseWake(), &CThreadWake::Woken, this, &CBeatMark::OnPulseWake);
}

CBeatMark::~CBeatMark() = default;

void CBeatMark::Start()
{
    m_bFollowing = true;
    m_Shown = {};
    ShowLastPulse();
    show();
}

void CBeatMark::Stop()
{
    m_bFollowing = false;
    m_FlashTimer.stop();
    m_bLit = false;
    hide();
}

void CBeatMark::SetScale(int scale)
{
    m_nScale = std::clamp(scale, 1, 8);
    setFixedSize(sizeHint());
    update();
}

QSize CBeatMark::sizeHint() const
{
    return {kSide * m_nScale, kSide * m_nScale};
}

void CBeatMark::OnPulseWake()
{
    if (m_bFollowing)
        ShowLastPulse();
}

int64_t CBeatMark::FlashNs() const
{
    const int64_t periodNs = m_Metronome.Timer().PeriodNs();
    // Pulses struck by hand, with no timer ever run, flash in full.
    return periodNs > 0 ? std::min(kMaxFlashNs, periodNs / 2) : kMaxFlashNs;
}

void CBeatMark::ShowLastPulse()
{
    const MetronomePulse pulse = m_Metronome.LastPulse();
    if (pulse == m_Shown)
        return;
    m_Shown = pulse;
    // A wake-up taken late still shows the right number; it lights only for
    // what is left of its flash, so the lamp never lags the beat.
    const int64_t leftNs = pulse.nSequence ? pulse.nSentNs + FlashNs() - CPeriodicTimer::NowNs() : 0;
    m_bLit = leftNs > 0;
    if (m_bLit)
        m_FlashTimer.start(static_cast<int>((leftNs + 999'999) / 1'000'000));
    else
        m_FlashTimer.stop();
    update();
}

void CBeatMark::OnFlashOver()
{
    m_bLit = false;
    update();
}

void CBeatMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter, std::min(width(), height()), m_Shown, m_bLit);
}

void CBeatMark::Paint(QPainter& painter, int side, const MetronomePulse& pulse, bool lit)
{
    painter.setRenderHint(QPainter::Antialiasing);
    // The accent's disc fills the square, the others' about two thirds of it:
    // told apart by size as well as colour, for who cannot tell red from amber.
    const bool accent = pulse.nSequence == 0 || pulse.bAccent;
    const qreal outline = std::max<qreal>(1.5, side / 20.0);
    const qreal radius = (accent ? side / 2.0 : side / 3.0) - outline;
    const QPointF centre(side / 2.0, side / 2.0);
    const QColor colour = accent ? kAccentColor : kPulseColor;

    if (lit) {
        painter.setPen(QPen(colour.darker(130), outline));
        painter.setBrush(colour);
    } else {
        painter.setPen(QPen(kDimColor, outline));
        painter.setBrush(Qt::NoBrush);
    }
    painter.drawEllipse(centre, radius, radius);
    if (pulse.nSequence == 0)
        return;

    // Two digits (up to 48 pulses a measure) fit inside the smaller disc.
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, static_cast<int>(radius * 0.95)));
    painter.setFont(font);
    painter.setPen(lit ? QColor(Qt::white) : kDimColor);
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.drawText(box, Qt::AlignCenter, QString::number(pulse.nNumber));
}
