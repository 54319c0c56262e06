// The in-process backend the tests and benchmarks play against, modelled on a
// desktop whose ports come and go while the program runs.
#include "platform/LoopbackMidiBackend.h"

#include "platform/MidiWire.h"
#include "platform/SoundingNotes.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

// One open input. Delivery and closing meet on its mutex, so once the port is
// destroyed (or stopped) no handler call is still running or can start.
struct InputSlot {
    std::mutex delivery;
    bool started = false;
    bool closed = false;
    bool lost = false;
    MidiInputHandler onData;
    MidiPortLostHandler onLost;
};

struct OutputSlot {
    std::mutex mutex;
    bool closed = false;
    bool lost = false;
    CSoundingNotes notes;
    MidiPortLostHandler onLost;
};

// One port as the system lists it, with everything the tests set up and read
// about it. Guarded by State::mutex.
struct LoopbackPort {
    MidiCaps caps;
    bool noDriver = false;
    MMRESULT openResult = MMSYSERR_NOERROR;
    QString problem;
    unsigned opens = 0;
    unsigned resets = 0;
    uint64_t lost = 0; // what its open ports report as lost
    uint32_t index = MIDI_NO_DEVICE; // in its list now; MIDI_NO_DEVICE once removed
    std::vector<uint32_t> sent;
    std::shared_ptr<InputSlot> openInput; // like a hardware port, one client at a time
    std::vector<std::shared_ptr<OutputSlot>> openOutputs;
};

using PortPtr = std::shared_ptr<LoopbackPort>;

// The inputs or the outputs.
struct PortList {
    std::vector<PortPtr> listed;
    // Every port ever listed, oldest first: what a port received can be read
    // after it went, and its count numbers the default names.
    std::vector<PortPtr> made;

    PortPtr At(uint32_t index) const { return index < listed.size() ? listed[index] : nullptr; }

    const LoopbackPort* LastNamed(const QString& portName) const
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            if ((*it)->caps.portName == portName)
                return it->get();
        }
        return nullptr;
    }

    unsigned Insert(const QString& name, unsigned index)
    {
        auto port = std::make_shared<LoopbackPort>();
        port->caps.szPname = name;
        port->caps.portName = name;
        made.push_back(port);
        index = std::min<unsigned>(index, static_cast<unsigned>(listed.size()));
        listed.insert(listed.begin() + index, std::move(port));
        Renumber(index);
        return index;
    }

    PortPtr Remove(unsigned index)
    {
        if (index >= listed.size())
            return nullptr;
        PortPtr port = std::move(listed[index]);
        listed.erase(listed.begin() + index);
        port->index = MIDI_NO_DEVICE;
        Renumber(index);
        return port;
    }

    void Renumber(size_t from)
    {
        for (size_t i = from; i < listed.size(); ++i)
            listed[i]->index = static_cast<uint32_t>(i);
    }
};

// The open ports of removed ports, lost once the state lock is released (their
// lost handlers may call back into the backend).
struct Orphans {
    std::vector<std::shared_ptr<InputSlot>> inputs;
    std::vector<std::shared_ptr<OutputSlot>> outputs;

    void Adopt(const LoopbackPort& port)
    {
        if (port.openInput)
            inputs.push_back(port.openInput);
        outputs.insert(outputs.end(), port.openOutputs.begin(), port.openOutputs.end());
    }

    void Lose();
};

bool LoseInput(InputSlot& slot)
{
    std::lock_guard lock(slot.delivery); // waits for a delivery in progress
    if (slot.closed || slot.lost)
        return false;
    slot.lost = true;
    slot.started = false;
    if (slot.onLost)
        slot.onLost();
    return true;
}

bool LoseOutput(OutputSlot& slot)
{
    std::lock_guard lock(slot.mutex);
    if (slot.closed || slot.lost)
        return false;
    slot.lost = true;
    if (slot.onLost)
        slot.onLost();
    return true;
}

void Orphans::Lose()
{
    for (const auto& slot : inputs)
        LoseInput(*slot);
    for (const auto& slot : outputs)
        LoseOutput(*slot);
}

QString DefaultInputName(size_t number)
{
    return QStringLiteral("Loopback MIDI In %1").arg(number);
}

QString DefaultOutputName(size_t number)
{
    return QStringLiteral("Loopback MIDI Out %1").arg(number);
}

} // namespace

struct CLoopbackMidiBackend::State {
    mutable std::mutex mutex;
    PortList inputs;
    PortList outputs;
    PortPtr mapper = MakeMapper();

    // The ports listeners. A round of calls holds `notifying` from start to end,
    // so a listener removed from another thread is never called once its
    // removal returns; recursive so that a listener may change the lists or
    // remove listeners itself.
    std::mutex listenerMutex;
    std::map<int, std::shared_ptr<const MidiPortsChangedHandler>> listeners;
    int nextListener = 1;
    std::recursive_mutex notifying;

    static PortPtr MakeMapper()
    {
        auto port = std::make_shared<LoopbackPort>();
        port->caps.szPname = QStringLiteral("Loopback Synthesizer");
        port->index = MIDI_MAPPER;
        return port;
    }

    PortPtr Output(uint32_t id) const { return id == MIDI_MAPPER ? mapper : outputs.At(id); }

    unsigned Resize(PortList& list, unsigned count, QString (*defaultName)(size_t), Orphans& orphans)
    {
        unsigned changes = 0;
        for (; list.listed.size() < count; ++changes)
            list.Insert(defaultName(list.made.size() + 1), UINT_MAX);
        for (; list.listed.size() > count; ++changes)
            orphans.Adopt(*list.Remove(static_cast<unsigned>(list.listed.size() - 1)));
        return changes;
    }

    void Record(LoopbackPort& port, uint32_t packed)
    {
        std::lock_guard lock(mutex);
        port.sent.push_back(packed);
    }

    void Notify()
    {
        std::lock_guard round(notifying);
        std::vector<std::pair<int, std::shared_ptr<const MidiPortsChangedHandler>>> snapshot;
        {
            std::lock_guard lock(listenerMutex);
            snapshot.assign(listeners.begin(), listeners.end());
        }
        for (const auto& [id, onChange] : snapshot) {
            {
                // An earlier listener of this round may have removed it.
                std::lock_guard lock(listenerMutex);
                if (!listeners.count(id))
                    continue;
            }
            if (*onChange)
                (*onChange)();
        }
    }
};

namespace {

using State = CLoopbackMidiBackend::State;

class CLoopbackInPort : public IMidiInPort {
public:
    CLoopbackInPort(std::shared_ptr<State> state, PortPtr port, std::shared_ptr<InputSlot> slot)
        : m_pState(std::move(state)), m_pPort(std::move(port)), m_pSlot(std::move(slot))
    {
    }

    ~CLoopbackInPort() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            if (m_pPort->openInput == m_pSlot)
                m_pPort->openInput.reset();
        }
        std::lock_guard lock(m_pSlot->delivery); // waits for a delivery in progress
        m_pSlot->closed = true;
    }

    uint32_t DeviceId() const override
    {
        std::lock_guard lock(m_pState->mutex);
        return m_pPort->index;
    }

    MMRESULT Start() override { return SetStarted(true); }
    MMRESULT Stop() override { return SetStarted(false); }

    MMRESULT Reset() override
    {
        std::lock_guard lock(m_pState->mutex);
        ++m_pPort->resets;
        return MMSYSERR_NOERROR;
    }

    uint64_t LostMessages() const override
    {
        std::lock_guard lock(m_pState->mutex);
        return m_pPort->lost;
    }

private:
    MMRESULT SetStarted(bool started)
    {
        std::lock_guard lock(m_pSlot->delivery);
        if (m_pSlot->lost)
            return MMSYSERR_NODRIVER;
        m_pSlot->started = started;
        return MMSYSERR_NOERROR;
    }

    std::shared_ptr<State> m_pState;
    PortPtr m_pPort;
    std::shared_ptr<InputSlot> m_pSlot;
};

class CLoopbackOutPort : public IMidiOutPort {
public:
    CLoopbackOutPort(std::shared_ptr<State> state, PortPtr port, std::shared_ptr<OutputSlot> slot)
        : m_pState(std::move(state)), m_pPort(std::move(port)), m_pSlot(std::move(slot))
    {
    }

    ~CLoopbackOutPort() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            std::erase(m_pPort->openOutputs, m_pSlot);
        }
        std::lock_guard lock(m_pSlot->mutex);
        m_pSlot->closed = true;
    }

    uint32_t DeviceId() const override
    {
        std::lock_guard lock(m_pState->mutex);
        return m_pPort->index;
    }

    MMRESULT ShortMsg(uint32_t packed) override
    {
        uint8_t bytes[3];
        if (MidiWire::Encode(packed, bytes) == 0)
            return MMSYSERR_INVALPARAM;
        std::lock_guard lock(m_pSlot->mutex);
        if (m_pSlot->lost)
            return MMSYSERR_NODRIVER;
        m_pSlot->notes.Track(packed);
        m_pState->Record(*m_pPort, packed);
        return MMSYSERR_NOERROR;
    }

    MMRESULT Reset() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            ++m_pPort->resets;
        }
        std::lock_guard lock(m_pSlot->mutex);
        if (m_pSlot->lost) {
            m_pSlot->notes.Clear();
            return MMSYSERR_NODRIVER;
        }
        m_pSlot->notes.Silence([this](uint32_t msg) { m_pState->Record(*m_pPort, msg); });
        return MMSYSERR_NOERROR;
    }

    uint64_t LostMessages() const override
    {
        std::lock_guard lock(m_pState->mutex);
        return m_pPort->lost;
    }

private:
    std::shared_ptr<State> m_pState;
    PortPtr m_pPort;
    std::shared_ptr<OutputSlot> m_pSlot;
};

} // namespace

CLoopbackMidiBackend::CLoopbackMidiBackend(unsigned inputCount, unsigned outputCount)
    : m_pState(std::make_shared<State>())
{
    Orphans none;
    m_pState->Resize(m_pState->inputs, inputCount, DefaultInputName, none);
    m_pState->Resize(m_pState->outputs, outputCount, DefaultOutputName, none);
}

CLoopbackMidiBackend::~CLoopbackMidiBackend() = default;

// ---- ports coming and going

unsigned CLoopbackMidiBackend::AddInput(const QString& name, unsigned index)
{
    {
        std::lock_guard lock(m_pState->mutex);
        PortList& list = m_pState->inputs;
        index = list.Insert(name.isEmpty() ? DefaultInputName(list.made.size() + 1) : name, index);
    }
    m_pState->Notify();
    return index;
}

unsigned CLoopbackMidiBackend::AddOutput(const QString& name, unsigned index)
{
    {
        std::lock_guard lock(m_pState->mutex);
        PortList& list = m_pState->outputs;
        index = list.Insert(name.isEmpty() ? DefaultOutputName(list.made.size() + 1) : name, index);
    }
    m_pState->Notify();
    return index;
}

bool CLoopbackMidiBackend::RemoveInput(unsigned index)
{
    Orphans orphans;
    {
        std::lock_guard lock(m_pState->mutex);
        const PortPtr port = m_pState->inputs.Remove(index);
        if (!port)
            return false;
        orphans.Adopt(*port);
    }
    orphans.Lose();
    m_pState->Notify();
    return true;
}

bool CLoopbackMidiBackend::RemoveOutput(uint32_t id)
{
    Orphans orphans;
    {
        std::lock_guard lock(m_pState->mutex);
        const PortPtr port = m_pState->outputs.Remove(id); // never the mapper: it is not listed
        if (!port)
            return false;
        orphans.Adopt(*port);
    }
    orphans.Lose();
    m_pState->Notify();
    return true;
}

void CLoopbackMidiBackend::SetInputCount(unsigned count)
{
    Orphans orphans;
    unsigned changes;
    {
        std::lock_guard lock(m_pState->mutex);
        changes = m_pState->Resize(m_pState->inputs, count, DefaultInputName, orphans);
    }
    orphans.Lose();
    if (changes)
        m_pState->Notify();
}

void CLoopbackMidiBackend::SetOutputCount(unsigned count)
{
    Orphans orphans;
    unsigned changes;
    {
        std::lock_guard lock(m_pState->mutex);
        changes = m_pState->Resize(m_pState->outputs, count, DefaultOutputName, orphans);
    }
    orphans.Lose();
    if (changes)
        m_pState->Notify();
}

void CLoopbackMidiBackend::NotifyPortsChanged()
{
    m_pState->Notify();
}

// ---- set-up

namespace {

template <typename Change>
void EditInput(State& state, unsigned index, Change&& change)
{
    std::lock_guard lock(state.mutex);
    if (const PortPtr port = state.inputs.At(index))
        change(*port);
}

template <typename Change>
void EditOutput(State& state, uint32_t id, Change&& change)
{
    std::lock_guard lock(state.mutex);
    if (const PortPtr port = state.Output(id))
        change(*port);
}

void ApplyCaps(LoopbackPort& port, const MidiCaps& caps, bool named)
{
    port.caps = caps;
    if (named && caps.portName.isEmpty())
        port.caps.portName = caps.szPname;
}

} // namespace

void CLoopbackMidiBackend::SetInputCaps(unsigned index, const MidiCaps& caps)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) { ApplyCaps(p, caps, true); });
}

void CLoopbackMidiBackend::SetOutputCaps(uint32_t id, const MidiCaps& caps)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { ApplyCaps(p, caps, id != MIDI_MAPPER); });
}

void CLoopbackMidiBackend::SetInputName(unsigned index, const QString& name)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) {
        p.caps.szPname = name;
        p.caps.portName = name;
    });
}

void CLoopbackMidiBackend::SetOutputName(uint32_t id, const QString& name)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) {
        p.caps.szPname = name;
        if (id != MIDI_MAPPER)
            p.caps.portName = name;
    });
}

void CLoopbackMidiBackend::SetInputLoopback(unsigned index, bool loopback)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) { p.caps.bLoopback = loopback; });
}

void CLoopbackMidiBackend::SetOutputLoopback(uint32_t id, bool loopback)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { p.caps.bLoopback = loopback; });
}

void CLoopbackMidiBackend::SetInputNoDriver(unsigned index, bool noDriver)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) { p.noDriver = noDriver; });
}

void CLoopbackMidiBackend::SetOutputNoDriver(uint32_t id, bool noDriver)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { p.noDriver = noDriver; });
}

void CLoopbackMidiBackend::SetInputOpenResult(unsigned index, MMRESULT result)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) { p.openResult = result; });
}

void CLoopbackMidiBackend::SetOutputOpenResult(uint32_t id, MMRESULT result)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { p.openResult = result; });
}

void CLoopbackMidiBackend::SetOutputProblem(uint32_t id, const QString& problem)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { p.problem = problem; });
}

void CLoopbackMidiBackend::SetInputLost(unsigned index, uint64_t lost)
{
    EditInput(*m_pState, index, [&](LoopbackPort& p) { p.lost = lost; });
}

void CLoopbackMidiBackend::SetOutputLost(uint32_t id, uint64_t lost)
{
    EditOutput(*m_pState, id, [&](LoopbackPort& p) { p.lost = lost; });
}

// ---- input

namespace {

std::shared_ptr<InputSlot> OpenSlot(const PortPtr& port)
{
    return port ? port->openInput : nullptr;
}

} // namespace

bool CLoopbackMidiBackend::Inject(unsigned index, uint32_t packed)
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        slot = OpenSlot(m_pState->inputs.At(index));
    }
    if (!slot)
        return false;
    std::lock_guard lock(slot->delivery);
    if (slot->closed || slot->lost || !slot->started)
        return false;
    slot->onData(packed);
    return true;
}

bool CLoopbackMidiBackend::IsInputOpen(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    return OpenSlot(m_pState->inputs.At(index)) != nullptr;
}

bool CLoopbackMidiBackend::IsInputStarted(unsigned index) const
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        slot = OpenSlot(m_pState->inputs.At(index));
    }
    if (!slot)
        return false;
    std::lock_guard lock(slot->delivery);
    return slot->started && !slot->lost;
}

unsigned CLoopbackMidiBackend::InputOpenCount(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->inputs.At(index);
    return port ? port->opens : 0;
}

unsigned CLoopbackMidiBackend::InputOpenCount(const QString& portName) const
{
    std::lock_guard lock(m_pState->mutex);
    const LoopbackPort* port = m_pState->inputs.LastNamed(portName);
    return port ? port->opens : 0;
}

unsigned CLoopbackMidiBackend::InputResetCount(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->inputs.At(index);
    return port ? port->resets : 0;
}

// ---- output

std::vector<uint32_t> CLoopbackMidiBackend::Sent(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->Output(id);
    return port ? port->sent : std::vector<uint32_t>{};
}

std::vector<uint32_t> CLoopbackMidiBackend::SentTo(const QString& portName) const
{
    std::lock_guard lock(m_pState->mutex);
    const LoopbackPort* port = m_pState->outputs.LastNamed(portName);
    return port ? port->sent : std::vector<uint32_t>{};
}

void CLoopbackMidiBackend::ClearSent()
{
    std::lock_guard lock(m_pState->mutex);
    for (const PortPtr& port : m_pState->outputs.made)
        port->sent.clear();
    m_pState->mapper->sent.clear();
}

unsigned CLoopbackMidiBackend::OpenOutputs(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->Output(id);
    return port ? static_cast<unsigned>(port->openOutputs.size()) : 0;
}

unsigned CLoopbackMidiBackend::OutputOpenCount(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->Output(id);
    return port ? port->opens : 0;
}

unsigned CLoopbackMidiBackend::OutputOpenCount(const QString& portName) const
{
    std::lock_guard lock(m_pState->mutex);
    const LoopbackPort* port = m_pState->outputs.LastNamed(portName);
    return port ? port->opens : 0;
}

unsigned CLoopbackMidiBackend::OutputResetCount(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->Output(id);
    return port ? port->resets : 0;
}

// ---- a peer that breaks

bool CLoopbackMidiBackend::VanishInput(unsigned index)
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        slot = OpenSlot(m_pState->inputs.At(index));
    }
    return slot && LoseInput(*slot);
}

bool CLoopbackMidiBackend::VanishOutput(uint32_t id)
{
    std::vector<std::shared_ptr<OutputSlot>> openSlots;
    {
        std::lock_guard lock(m_pState->mutex);
        if (const PortPtr port = m_pState->Output(id))
            openSlots = port->openOutputs;
    }
    bool any = false;
    for (const auto& slot : openSlots)
        any = LoseOutput(*slot) || any;
    return any;
}

// ---- IMidiBackend

QString CLoopbackMidiBackend::Name() const
{
    return QStringLiteral("loopback");
}

unsigned CLoopbackMidiBackend::InputCount()
{
    std::lock_guard lock(m_pState->mutex);
    return static_cast<unsigned>(m_pState->inputs.listed.size());
}

unsigned CLoopbackMidiBackend::OutputCount()
{
    std::lock_guard lock(m_pState->mutex);
    return static_cast<unsigned>(m_pState->outputs.listed.size());
}

namespace {

MMRESULT ReadCaps(const PortPtr& port, MidiCaps& caps)
{
    if (!port)
        return MMSYSERR_BADDEVICEID;
    if (port->noDriver)
        return MMSYSERR_NODRIVER;
    caps = port->caps;
    return MMSYSERR_NOERROR;
}

// Why the port cannot be opened now, or MMSYSERR_NOERROR.
MMRESULT OpenRefusal(const PortPtr& port)
{
    if (!port)
        return MMSYSERR_BADDEVICEID;
    if (port->noDriver)
        return MMSYSERR_NODRIVER;
    return port->openResult;
}

} // namespace

MMRESULT CLoopbackMidiBackend::GetInputCaps(uint32_t id, MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    return ReadCaps(m_pState->inputs.At(id), caps);
}

MMRESULT CLoopbackMidiBackend::GetOutputCaps(uint32_t id, MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    return ReadCaps(m_pState->Output(id), caps);
}

MMRESULT CLoopbackMidiBackend::OpenInput(uint32_t id, MidiInputHandler onData,
                                         MidiPortLostHandler onLost,
                                         std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    std::lock_guard lock(m_pState->mutex);
    const PortPtr device = m_pState->inputs.At(id);
    if (const MMRESULT refusal = OpenRefusal(device); refusal != MMSYSERR_NOERROR)
        return refusal;
    if (device->openInput)
        return MMSYSERR_ALLOCATED;
    auto slot = std::make_shared<InputSlot>();
    slot->onData = std::move(onData);
    slot->onLost = std::move(onLost);
    device->openInput = slot;
    ++device->opens;
    port = std::make_unique<CLoopbackInPort>(m_pState, device, std::move(slot));
    return MMSYSERR_NOERROR;
}

MMRESULT CLoopbackMidiBackend::OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                                          std::unique_ptr<IMidiOutPort>& port)
{
    port.reset();
    std::lock_guard lock(m_pState->mutex);
    const PortPtr device = m_pState->Output(id);
    if (const MMRESULT refusal = OpenRefusal(device); refusal != MMSYSERR_NOERROR)
        return refusal;
    auto slot = std::make_shared<OutputSlot>();
    slot->onLost = std::move(onLost);
    device->openOutputs.push_back(slot);
    ++device->opens;
    port = std::make_unique<CLoopbackOutPort>(m_pState, device, std::move(slot));
    return MMSYSERR_NOERROR;
}

int CLoopbackMidiBackend::AddPortsListener(MidiPortsChangedHandler onChange)
{
    std::lock_guard lock(m_pState->listenerMutex);
    const int id = m_pState->nextListener++;
    m_pState->listeners.emplace(id, std::make_shared<const MidiPortsChangedHandler>(std::move(onChange)));
    return id;
}

void CLoopbackMidiBackend::RemovePortsListener(int id)
{
    {
        std::lock_guard lock(m_pState->listenerMutex);
        m_pState->listeners.erase(id);
    }
    // A round under way on another thread may be about to call it: wait for
    // that round to end. Within a round of this thread the lock is ours
    // already, and the round skips the listener from here on.
    std::lock_guard round(m_pState->notifying);
}

QString CLoopbackMidiBackend::OutputProblem(uint32_t id)
{
    std::lock_guard lock(m_pState->mutex);
    const PortPtr port = m_pState->Output(id);
    return port ? port->problem : QString();
}
