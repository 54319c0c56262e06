#include "view/CViewSettings.h"

#include "platform/Settings.h"

void CViewSettings::ReadSettings()
{
    m_nViewMode = Settings::Read(Settings::ViewMode);
    m_nDumpAttributes = Settings::Read(Settings::DumpAttributes);
    m_bFilterSysRealTime = Settings::Read(Settings::FilterSysRealTime);
    m_bFilterPitchBend = Settings::Read(Settings::FilterPitchBend);
    m_bFilterCtrlChange = Settings::Read(Settings::FilterCtrlChange);
    m_bFilterChanPressure = Settings::Read(Settings::FilterChanPressure);
    m_bFilterKeyPressure = Settings::Read(Settings::FilterKeyPressure);
    m_bFilterActiveSensing = Settings::Read(Settings::FilterActiveSensing);
    m_bUseMIDIIn = Settings::Read(Settings::UseMIDIIn);
    m_nChannel = Settings::Read(Settings::Channel);
    m_nVelocity = Settings::Read(Settings::Velocity);
    m_nPatch = Settings::Read(Settings::Patch);
    m_nMM = static_cast<unsigned>(Settings::Read(Settings::MetronomeMM));
    m_nPPM = static_cast<unsigned>(Settings::Read(Settings::MetronomePPM));
    m_bMale = Settings::Read(Settings::Male);
    m_nTonic = Settings::Read(Settings::Tonic);
    m_bChromaticSigns = Settings::Read(Settings::ChromaticSigns);
    m_nKeyNames = Settings::Read(Settings::KeyNames);
    m_bFitPictures = Settings::Read(Settings::FitPictures);
}
