#include "midi/MIDIOutDevice.h"

#include "midi/CPortReconnect.h"
#include "midi/MidiDeviceDialogs.h"
#include "midi/MidiNotifyTarget.h"
#include "midi/MidiPortNames.h"
#include "platform/Settings.h"

#include <QPointer>

#include <mutex>

using MidiPortNames::Kind;

// The metronome thread sends through the same device the UI thread opens and
// closes. Two locks: openMutex serialises open/close/choice (and may be held
// while a slow backend opens), sendMutex only guards the port pointer, so a send
// never waits for an open and never races a close.
struct CMIDIOutDevice::Impl {
    explicit Impl(CMIDIOutDevice* self) : reconnect([self] { self->RetryOpen(); }) {}
    // The lost-port handling runs through this thread's event loop.
    std::unique_ptr<QObject> context = CMidiNotifyTarget::CreateCallContext();
    std::mutex openMutex;
    mutable std::mutex sendMutex;
    std::unique_ptr<IMidiOutPort> port; // written under both locks, read under either
    std::shared_ptr<CMidiNotifyTarget> target;
    uint64_t generation = 0;
    QPointer<QObject> notify; // where a port reopened by itself reports
    bool waiting = false;     // under openMutex
    CPortReconnect reconnect; // UI thread, under openMutex
    uint64_t lostByClosedPorts = 0; // under sendMutex
};

CMIDIOutDevice::CMIDIOutDevice() : m_pImpl(std::make_unique<Impl>(this)) {}

CMIDIOutDevice::~CMIDIOutDevice()
{
    Close();
}

void CMIDIOutDevice::SetDeviceID(uint32_t id)
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (id == m_nDeviceID)
        return;
    if (m_pImpl->port || m_pImpl->waiting)
        CloseLocked();
    if (id == MIDI_NO_DEVICE || id == MIDI_MAPPER || id < MidiSystem::Backend().OutputCount())
        m_nDeviceID = id;
    else
        m_nDeviceID = MIDI_NO_DEVICE;
    m_strDeviceName = MidiPortNames::NameOf(Kind::Output, m_nDeviceID);
}

void CMIDIOutDevice::LoadDeviceID(const QString& section)
{
    const auto stored = static_cast<uint32_t>(Settings::Read(Settings::OutDeviceID, section));
    const QString name = Settings::ReadText(Settings::OutDeviceName, section);
    const uint32_t found = MidiPortNames::Find(Kind::Output, name, stored);
    SetDeviceID(found != MIDI_NO_DEVICE ? found : stored);
}

uint32_t CMIDIOutDevice::SelectDevice(bool save, QWidget* parent)
{
    {
        // The list may have moved since the choice: the dialog starts on the port.
        std::lock_guard lock(m_pImpl->openMutex);
        const uint32_t current = StoredChoiceLocked();
        if (current != MIDI_NO_DEVICE)
            m_nDeviceID = current;
    }
    const std::optional<CMIDIOutSelection> chosen =
        CService<IMidiDeviceDialogs>::Get().RunSelectOutput(m_nDeviceID,
                                                            m_nDeviceID == MIDI_MAPPER, parent);
    if (!chosen)
        return m_nDeviceID;
    {
        // Taken as it is: the caller reopens or closes the port afterwards.
        std::lock_guard lock(m_pImpl->openMutex);
        m_nDeviceID = chosen->m_bUseMapper ? MIDI_MAPPER : chosen->m_nDeviceID;
        m_strDeviceName = MidiPortNames::NameOf(Kind::Output, m_nDeviceID);
    }
    if (save) {
        Settings::Write(Settings::OutDeviceID, static_cast<int>(m_nDeviceID)); // the mapper as -1
        Settings::WriteText(Settings::OutDeviceName, m_strDeviceName);
    }
    return m_nDeviceID;
}

uint32_t CMIDIOutDevice::StoredChoiceLocked()
{
    if (m_strDeviceName.isEmpty())
        return m_nDeviceID;
    return MidiPortNames::Find(Kind::Output, m_strDeviceName, m_nDeviceID);
}

MMRESULT CMIDIOutDevice::Open(QObject* pNotify, uint32_t id)
{
    std::lock_guard lock(m_pImpl->openMutex);
    const bool stored = id == MIDI_NO_DEVICE;
    if (stored)
        id = StoredChoiceLocked();
    if (id == MIDI_NO_DEVICE) {
        if (!stored || m_strDeviceName.isEmpty())
            return MMSYSERR_INVALHANDLE;
        CloseLocked();
        WaitForPortLocked(pNotify); // chosen by name, not plugged in yet
        return MMSYSERR_BADDEVICEID;
    }
    const MMRESULT result = OpenPortLocked(pNotify, id);
    if (result != MMSYSERR_NOERROR && stored)
        WaitForPortLocked(pNotify);
    return result;
}

MMRESULT CMIDIOutDevice::OpenPortLocked(QObject* pNotify, uint32_t id)
{
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
    const QString name = MidiPortNames::NameOf(Kind::Output, id);
    if (!name.isEmpty())
        m_strDeviceName = name;
    m_pImpl->target = std::move(target);
    m_pImpl->notify = pNotify;
    m_pImpl->waiting = false;
    m_pImpl->reconnect.Disarm();
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
    m_pImpl->waiting = false;
    m_pImpl->reconnect.Disarm();
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
    {
        std::lock_guard sendLock(m_pImpl->sendMutex);
        m_pImpl->lostByClosedPorts += port->LostMessages();
    }
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

uint64_t CMIDIOutDevice::LostMessages() const
{
    std::lock_guard lock(m_pImpl->sendMutex);
    return m_pImpl->lostByClosedPorts + (m_pImpl->port ? m_pImpl->port->LostMessages() : 0);
}

bool CMIDIOutDevice::IsWaitingForPort() const
{
    std::lock_guard lock(m_pImpl->openMutex);
    return m_pImpl->waiting;
}

void CMIDIOutDevice::WaitForPortLocked(QObject* pNotify)
{
    m_pImpl->notify = pNotify;
    m_pImpl->waiting = true;
    m_pImpl->reconnect.Arm();
}

void CMIDIOutDevice::RetryOpen()
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (!m_pImpl->waiting || m_pImpl->port)
        return;
    const uint32_t id = StoredChoiceLocked();
    if (id == MIDI_NO_DEVICE)
        return;
    if (OpenPortLocked(m_pImpl->notify.data(), id) != MMSYSERR_NOERROR)
        return;
    if (m_pImpl->target)
        m_pImpl->target->Post(new CMidiPortBackEvent(true));
}

void CMIDIOutDevice::OnPortLost(uint64_t generation)
{
    std::lock_guard lock(m_pImpl->openMutex);
    if (generation != m_pImpl->generation || !m_pImpl->port)
        return; // reported for a port that is already closed
    if (m_pImpl->target)
        m_pImpl->target->Post(new CMidiPortLostEvent(true));
    QObject* notify = m_pImpl->notify.data();
    CloseLocked();
    WaitForPortLocked(notify);
}
