// The view's mixer logic: the set-up after start-up (the master mute
// question, the synthesizer line's volume, mute and level), the slider, the
// mute box and the level meter.
#include "view/CTessaroView.h"

#include "res/ResourceIds.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSlider>

#include <cstdlib>

namespace {

constexpr uint32_t kUnset = 0xFFFFFFFFu;
constexpr int kMixerCheckDelayMs = 200;
constexpr int kLevelMeterPeriodMs = 270;

} // namespace

void CTessaroView::CreateMixerTimers()
{
    m_MixerCheckTimer.setObjectName(QString::number(ID_TIMER_MIXER_CHECK));
    m_MixerCheckTimer.setSingleShot(true); // killed when it fires
    m_MixerCheckTimer.setInterval(kMixerCheckDelayMs);
    connect(&m_MixerCheckTimer, &QTimer::timeout, this, &CTessaroView::OnMixerCheckTimer);
    m_LevelMeterTimer.setObjectName(QString::number(ID_TIMER_LEVEL_METER));
    m_LevelMeterTimer.setInterval(kLevelMeterPeriodMs);
    connect(&m_LevelMeterTimer, &QTimer::timeout, this, &CTessaroView::OnLevelMeterTimer);
    connect(m_pVolumeSlider, &QSlider::valueChanged, this, &CTessaroView::OnVolumeSliderScroll);
    connect(m_pMuteCheck, &QCheckBox::clicked, this, &CTessaroView::OnMuteClicked);
}

void CTessaroView::OnMixerCheckTimer()
{
    m_MixerCheckTimer.stop();
    if (!m_Mixer.Open(0, this))
        return;

    // Once only: a later set-up does not ask about the master mute again.
    if (m_dwSynthLineID == kUnset) {
        MIXERLINE speakers, synth;
        if (m_Mixer.GetDestinationLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, speakers) &&
            m_Mixer.GetSourceLine(MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, synth,
                                  speakers.dwDestination)) {
            m_dwSynthLineID = synth.dwLineID;
            m_dwSpeakersLineID = speakers.dwLineID;
            MIXERCONTROL master;
            if (m_Mixer.GetLineControl(m_dwSpeakersLineID, MIXERCONTROL_CONTROLTYPE_MUTE, master) ||
                m_Mixer.GetLineControl(m_dwSpeakersLineID, MIXERCONTROL_CONTROLTYPE_BOOLEAN,
                                       master)) {
                uint32_t muted = 0;
                m_Mixer.GetControlValueOrZero(master.dwControlID, muted);
                if (muted != 0 &&
                    QMessageBox::question(this, QApplication::applicationName(),
                                          QStringLiteral("The master volume is currently muted.\n"
                                                         "Can the line be unmuted?"),
                                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
                    m_Mixer.SetControlValue(master.dwControlID, 0);
            }
        }
    }

    MIXERCONTROL volume;
    if (m_dwSynthLineID == kUnset ||
        !m_Mixer.GetLineControl(m_dwSynthLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, volume)) {
        m_pVolumeSlider->setEnabled(false);
        return;
    }

    // The slider: its top is full volume (position = maximum - value).
    m_dwVolumeControlID = volume.dwControlID;
    m_dwVolumeMin = volume.Bounds.dwMinimum;
    m_dwVolumeMax = volume.Bounds.dwMaximum;
    uint32_t value = m_dwVolumeMax;
    m_Mixer.GetControlValue(m_dwVolumeControlID, value);
    {
        const QSignalBlocker quiet(m_pVolumeSlider); // not a move of the user's
        m_pVolumeSlider->setInvertedAppearance(true);
        m_pVolumeSlider->setInvertedControls(true);
        m_pVolumeSlider->setRange(static_cast<int>(m_dwVolumeMin), static_cast<int>(m_dwVolumeMax));
        m_pVolumeSlider->setTickInterval(static_cast<int>((m_dwVolumeMax - m_dwVolumeMin) / 6));
        m_pVolumeSlider->setPageStep(
            qMax(1, static_cast<int>((m_dwVolumeMax - m_dwVolumeMin) / 10)));
        m_pVolumeSlider->setValue(static_cast<int>(m_dwVolumeMax - value));
    }
    m_pVolumeSlider->setEnabled(true);

    MIXERLINE line;
    m_pSliderCaption->setText(m_Mixer.GetLineInfoById(m_dwSynthLineID, line) ? line.szName
                                                                            : volume.szShortName);

    MIXERCONTROL mute;
    if (m_Mixer.GetLineControl(m_dwSynthLineID, MIXERCONTROL_CONTROLTYPE_MUTE, mute)) {
        m_dwMuteControlID = mute.dwControlID;
        m_Mixer.SetControlValue(m_dwMuteControlID, 0);
        // A repeated set-up (File > New) unmutes a line the user had muted:
        // the box shows what the line now is, so one click mutes it again.
        m_pMuteCheck->setChecked(false);
        m_pMuteCheck->setText(mute.szShortName);
        m_pMuteCheck->setEnabled(true);
    } else if (m_Mixer.GetLineControl(m_dwSynthLineID, MIXERCONTROL_CONTROLTYPE_BOOLEAN, mute)) {
        m_Mixer.SetControlValue(mute.dwControlID, 0);
    }

    MIXERCONTROL meter;
    if (m_Mixer.GetLineControl(m_dwSynthLineID, MIXERCONTROL_CONTROLTYPE_PEAKMETER, meter)) {
        m_dwMeterControlID = meter.dwControlID;
        m_dwMeterMin = 0;
        m_dwMeterMax = meter.Bounds.dwMaximum;
        m_pLevelMeter->setRange(0, static_cast<int>(m_dwMeterMax & 0xFFFFu));
        m_LevelMeterTimer.start();
    } else {
        m_pLevelMeter->hide();
        const QRect label = m_pSliderCaption->geometry();
        m_pVolumeSlider->move(label.left() + label.width() / 2 - m_pVolumeSlider->width() / 2,
                              m_pVolumeSlider->y());
    }
    // Shown now if the keyboard pane is up; otherwise when it is chosen.
    if (m_nViewMode == 1)
        ShowMixerControls();
}

void CTessaroView::ShowMixerControls()
{
    m_pSliderCaption->show();
    m_pLevelMeter->setVisible(m_dwMeterControlID != kUnset);
    m_pMuteCheck->setVisible(m_dwMuteControlID != kUnset);
    m_pVolumeSlider->show();
}

void CTessaroView::OnVolumeSliderScroll()
{
    if (m_dwVolumeControlID == kUnset)
        return;
    const auto position = static_cast<uint32_t>(m_pVolumeSlider->value());
    m_Mixer.SetControlValue(m_dwVolumeControlID, m_dwVolumeMax - position);
}

void CTessaroView::OnMuteClicked()
{
    if (m_dwMuteControlID != kUnset)
        m_Mixer.SetControlValue(m_dwMuteControlID, m_pMuteCheck->isChecked() ? 1 : 0);
}

void CTessaroView::OnLevelMeterTimer()
{
    if (!m_Mixer.IsOpen() || m_dwMeterControlID == kUnset)
        return;
    uint32_t value = 0;
    if (!m_Mixer.GetControlValue(m_dwMeterControlID, value))
        return; // the bar keeps what it showed
    const int level = std::abs(static_cast<int>(static_cast<int16_t>(value & 0xFFFFu)));
    m_pLevelMeter->setValue(level);
}
