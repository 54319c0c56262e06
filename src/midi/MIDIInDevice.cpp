#include "midi/MIDIInDevice.h"

#include "midi/CPortReconnect.h"
#include "midi/MidiDeviceDialogs.h"
#include "midi/MidiNotifyTarget.h"
#include "midi/MidiPortNames.h"
#include "platform/Settings.h"

#include <QPointer>

using MidiPortNames::Kind;

struct CMIDIInDevice::Impl {
    explicit Impl(CMIDIInDevice* self) : reconnect([self] { self->RetryOpen(); }) {}
    // The lost-port handling runs through this thread's event loop.
    std::unique_ptr<QObject> context = CMidiNotifyTarget::CreateCallContext();
    std::unique_ptr<IMidiInPort> port;
    std::shared_ptr<CMidiNotifyTarget> target;
    uint64_t generation = 0; // which open a lost report belongs to
    QPointer<QObject> notify; // where a port reopened by itself reports
    bool waiting = false;
    CPortReconnect reconnect;
    uint64_t lostByClosedPorts = 0;
};

CMIDIInDevice::CMIDIInDevice() : m_pImpl(std::make_unique<Impl>(this)) {}

CMIDIInDevice::~CMIDIInDevice()
{
    // Stop, reset and close. (The extra open-and-close some Windows drivers
    // needed to let go of the device has no use here.)
    Close();
}

void CMIDIInDevice::SetDeviceID(uint32_t id)
{
    if (id == m_nDeviceID)
        return;
    if (m_pImpl->port || m_pImpl->waiting)
        Close();
    // Compared unsigned, so the mapper and every other large or negative value
    // is out of range too: the mapper is an output-only device.
    if (id == MIDI_NO_DEVICE || id < MidiSystem::Backend().InputCount())
        m_nDeviceID = id;
    else
        m_nDeviceID = MIDI_NO_DEVICE;
    m_strDeviceName = MidiPortNames::NameOf(Kind::Input, m_nDeviceID);
}

void CMIDIInDevice::LoadDeviceID(const QString& section)
{
    const auto stored = static_cast<uint32_t>(Settings::Read(Settings::InDeviceID, section));
    const QString name = Settings::ReadText(Settings::InDeviceName, section);
    const uint32_t found = MidiPortNames::Find(Kind::Input, name, stored);
    SetDeviceID(found != MIDI_NO_DEVICE ? found : stored);
}

uint32_t CMIDIInDevice::SelectDevice(bool save, QWidget* parent)
{
    // The list may have moved since the choice: the dialog starts on the port.
    const uint32_t current = StoredChoice();
    if (current != MIDI_NO_DEVICE)
        m_nDeviceID = current;
    const std::optional<uint32_t> chosen =
        CService<IMidiDeviceDialogs>::Get().RunSelectInput(m_nDeviceID, parent);
    if (!chosen)
        return m_nDeviceID;
    // Taken as it is: the caller reopens or closes the port afterwards.
    m_nDeviceID = *chosen;
    m_strDeviceName = MidiPortNames::NameOf(Kind::Input, m_nDeviceID);
    if (save) {
        Settings::Write(Settings::InDeviceID, static_cast<int>(m_nDeviceID));
        Settings::WriteText(Settings::InDeviceName, m_strDeviceName);
    }
    return m_nDeviceID;
}

uint32_t CMIDIInDevice::StoredChoice()
{
    if (m_strDeviceName.isEmpty())
        return m_nDeviceID;
    return MidiPortNames::Find(Kind::Input, m_strDeviceName, m_nDeviceID);
}

MMRESULT CMIDIInDevice::Open(QObject* pNotify, uint32_t id)
{
    const bool stored = id == MIDI_NO_DEVICE;
    if (stored)
        id = StoredChoice();
    if (id == MIDI_NO_DEVICE) {
        if (!stored || m_strDeviceName.isEmpty())
            return MMSYSERR_INVALHANDLE;
        Close();
        WaitForPort(pNotify); // chosen by name, not plugged in yet
        return MMSYSERR_BADDEVICEID;
    }
    const MMRESULT result = OpenPort(pNotify, id);
    if (result != MMSYSERR_NOERROR && stored)
        WaitForPort(pNotify);
    return result;
}

MMRESULT CMIDIInDevice::OpenPort(QObject* pNotify, uint32_t id)
{
    if (m_pImpl->port)
        Close();

    auto target = std::make_shared<CMidiNotifyTarget>(pNotify);
    const uint64_t generation = ++m_pImpl->generation;
    QObject* context = m_pImpl->context.get();
    // Messages go straight from the backend thread into the notify object's
    // event queue: posting never blocks for long and never drops, and the queue
    // keeps arrival order.
    auto onData = [target](uint32_t msg) { target->PostData(msg); };
    auto onLost = [this, context, generation] {
        CMidiNotifyTarget::InvokeFromAnyThread(context,
                                               [this, generation] { OnPortLost(generation); });
    };
    std::unique_ptr<IMidiInPort> port;
    const MMRESULT result = MidiSystem::Backend().OpenInput(id, onData, onLost, port);
    if (result != MMSYSERR_NOERROR || !port)
        return result != MMSYSERR_NOERROR ? result : MMSYSERR_ERROR;

    m_nDeviceID = id;
    const QString name = MidiPortNames::NameOf(Kind::Input, id);
    if (!name.isEmpty())
        m_strDeviceName = name;
    m_pImpl->port = std::move(port);
    m_pImpl->target = std::move(target);
    m_pImpl->notify = pNotify;
    m_pImpl->waiting = false;
    m_pImpl->reconnect.Disarm();
    m_pImpl->port->Start();
    return MMSYSERR_NOERROR;
}

MMRESULT CMIDIInDevice::Close()
{
    m_pImpl->waiting = false;
    m_pImpl->reconnect.Disarm();
    if (!m_pImpl->port)
        return MMSYSERR_NOERROR;
    m_pImpl->port->Stop();
    m_pImpl->port->Reset();
    m_pImpl->lostByClosedPorts += m_pImpl->port->LostMessages();
    // Destroying the port closes it; after that no message is delivered, and
    // the ones already posted still reach the notify object in order.
    m_pImpl->port.reset();
    if (m_pImpl->target) {
        m_pImpl->target->Detach();
        m_pImpl->target.reset();
    }
    return MMSYSERR_NOERROR;
}

uint32_t CMIDIInDevice::QueryOpenDeviceID() const
{
    return m_pImpl->port ? m_pImpl->port->DeviceId() : MIDI_NO_DEVICE;
}

bool CMIDIInDevice::IsOpen() const
{
    return m_pImpl->port != nullptr;
}

bool CMIDIInDevice::IsWaitingForPort() const
{
    return m_pImpl->waiting;
}

uint64_t CMIDIInDevice::LostMessages() const
{
    return m_pImpl->lostByClosedPorts + (m_pImpl->port ? m_pImpl->port->LostMessages() : 0);
}

void CMIDIInDevice::WaitForPort(QObject* pNotify)
{
    m_pImpl->notify = pNotify;
    m_pImpl->waiting = true;
    m_pImpl->reconnect.Arm();
}

void CMIDIInDevice::RetryOpen()
{
    if (!m_pImpl->waiting || m_pImpl->port)
        return;
    const uint32_t id = StoredChoice();
    if (id == MIDI_NO_DEVICE)
        return;
    QObject* notify = m_pImpl->notify.data();
    if (OpenPort(notify, id) != MMSYSERR_NOERROR)
        return;
    if (m_pImpl->target)
        m_pImpl->target->Post(new CMidiPortBackEvent(false));
}

void CMIDIInDevice::OnPortLost(uint64_t generation)
{
    if (generation != m_pImpl->generation || !m_pImpl->port)
        return; // reported for a port that is already closed
    // Posted first, handled after the port is closed: the receiver finds the
    // device closed, after every message that arrived before the loss.
    if (m_pImpl->target)
        m_pImpl->target->Post(new CMidiPortLostEvent(false));
    QObject* notify = m_pImpl->notify.data();
    Close();
    WaitForPort(notify);
}
