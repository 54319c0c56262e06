#include "midi/MIDIOutDevice.h"

#include "midi/MidiDeviceDialogs.h"
#include "midi/MidiNotifyTarget.h"
#include "platform/Settings.h"

#include <mutex>

// The metronome thread sends through the same device the UI thread opens and
// closes. Two locks: openMutex serialises open/close/choice (and may be held
// while a slow backend opens), sendMutex only guards the port pointer, so a send
// never waits for an open and never races a close.
struct CMIDIOutDevice::Impl {
    // The lost-port handling runs through this thread's event loop.
    std::unique_ptr<QObject> context = CMidiNotifyTarget::CreateCallContext();
    std::mutex openMutex;
    mutable std::mutex sendMutex;
    std::unique_ptr<IMidiOutPort> port; // written under both locks, read under either
    std::shared_ptr<CMidiNotifyTarget> target;
    uint64_t generation = 0;
};

CMIDIOutDevice::CMIDIOutDevice() : m_pImpl(std::make_unique<Impl>()) {}

CMIDIOutDevice::~CMIDIOutDevice()
{
    Close();
}

void CMIDIOutDevice::SetDeviceID(uint32_t id)
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (id == m_nDeviceID)
        return;
    if (m_pImpl->port)
        CloseLocked();
    if (id == MIDI_NO_DEVICE || id == MIDI_MAPPER || id < MidiSystem::Backend().OutputCount())
        m_nDeviceID = id;
    else
        m_nDeviceID = MIDI_NO_DEVICE;
}

void CMIDIOutDevice::LoadDeviceID(const QString& section)
{
    const int stored = Settings::Read(Settings::OutDeviceID, section);
    SetDeviceID(static_cast<uint32_t>(stored));
}

uint32_t CMIDIOutDevice::SelectDevice(bool save, QWidget* parent)
{
    const std::optional<CMIDIOutSelection> chosen =
        CService<IMidiDeviceDialogs>::Get().RunSelectOutput(m_nDeviceID,
                                                            m_nDeviceID == MIDI_MAPPER, parent);
    if (!chosen)
        return m_nDeviceID;
    {
        // Taken as it is: the caller reopens or closes the port afterwards.
        std::lock_guard lock(m_pImpl->openMutex);
        m_nDeviceID = chosen->m_bUseMapper ? MIDI_MAPPER : chosen->m_nDeviceID;
    }
    if (save)
        Settings::Write(Settings::OutDeviceID, static_cast<int>(m_nDeviceID)); // the mapper as -1
    return m_nDeviceID;
}

MMRESULT CMIDIOutDevice::Open(QObject* pNotify, uint32_t id)
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (id == MIDI_NO_DEVICE)
        id = m_nDeviceID;
    if (id == MIDI_NO_DEVICE)
        return MMSYSERR_INVALHANDLE;
    if (m_pImpl->port)
        CloseLocked();

    auto target = std::make_shared<CMidiNotifyTarget>(pNotify);
    const uint64_t generation = ++m_pImpl->generation;
    QObject* context = m_pImpl->context.get();
    auto onLost = [this, context, generation] {
        CMidiNotifyTarget::InvokeFromAnyThread(context,
                                               [this, generation] { OnPortLost(generation); });
    };
    std::unique_ptr<IMidiOutPort> port;
    const MMRESULT result = MidiSystem::Backend().OpenOutput(id, onLost, port);
    if (result != MMSYSERR_NOERROR || !port)
        return result != MMSYSERR_NOERROR ? result : MMSYSERR_ERROR;

    m_nDeviceID = id;
    m_pImpl->target = std::move(target);
    std::lock_guard sendLock(m_pImpl->sendMutex);
    m_pImpl->port = std::move(port);
    return MMSYSERR_NOERROR;
}

MMRESULT CMIDIOutDevice::Close()
{
    std::lock_guard lock(m_pImpl->openMutex);
    return CloseLocked();
}

MMRESULT CMIDIOutDevice::CloseLocked()
{
    std::unique_ptr<IMidiOutPort> port;
    {
        // From here on sends find the device closed, so nothing can start a
        // note after the reset below has ended them all.
        std::lock_guard sendLock(m_pImpl->sendMutex);
        port = std::move(m_pImpl->port);
    }
    if (!port)
        return MMSYSERR_NOERROR;
    port->Reset();
    port.reset();
    if (m_pImpl->target) {
        m_pImpl->target->Detach();
        m_pImpl->target.reset();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CMIDIOutDevice::SendShortMsg(uint32_t packedMsg)
{
    std::lock_guard lock(m_pImpl->sendMutex);
    if (!m_pImpl->port)
        return MMSYSERR_INVALHANDLE;
    return m_pImpl->port->ShortMsg(packedMsg);
}

uint32_t CMIDIOutDevice::QueryOpenDeviceID() const
{
    std::lock_guard lock(m_pImpl->sendMutex);
    return m_pImpl->port ? m_pImpl->port->DeviceId() : MIDI_NO_DEVICE;
}

bool CMIDIOutDevice::GetHandle() const
{
    std::lock_guard lock(m_pImpl->sendMutex);
    return m_pImpl->port != nullptr;
}

void CMIDIOutDevice::OnPortLost(uint64_t generation)
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (generation != m_pImpl->generation || !m_pImpl->port)
        return; // reported for a port that is already closed
    if (m_pImpl->target)
        m_pImpl->target->Post(new CMidiPortLostEvent);
    CloseLocked();
}
