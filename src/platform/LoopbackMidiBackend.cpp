#include "platform/LoopbackMidiBackend.h"

#include "platform/MidiWire.h"
#include "platform/SoundingNotes.h"

#include <map>
#include <mutex>

namespace {

struct DeviceSetup {
    MidiCaps caps;
    bool hasCaps = false;
    bool noDriver = false;
    MMRESULT openResult = MMSYSERR_NOERROR;
    unsigned opens = 0;
    unsigned resets = 0;
};

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

} // namespace

struct CLoopbackMidiBackend::State {
    mutable std::mutex mutex;
    unsigned inputCount = 0;
    unsigned outputCount = 0;
    std::map<uint32_t, DeviceSetup> inputs;
    std::map<uint32_t, DeviceSetup> outputs;
    std::map<uint32_t, std::shared_ptr<InputSlot>> openInputs;
    std::multimap<uint32_t, std::shared_ptr<OutputSlot>> openOutputs;
    std::map<uint32_t, std::vector<uint32_t>> sent;

    void Record(uint32_t id, uint32_t packed)
    {
        std::lock_guard lock(mutex);
        sent[id].push_back(packed);
    }
};

namespace {

class CLoopbackInPort : public IMidiInPort {
public:
    CLoopbackInPort(std::shared_ptr<CLoopbackMidiBackend::State> state, uint32_t id,
                    std::shared_ptr<InputSlot> slot)
        : m_pState(std::move(state)), m_nId(id), m_pSlot(std::move(slot))
    {
    }

    ~CLoopbackInPort() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            m_pState->openInputs.erase(m_nId);
        }
        std::lock_guard lock(m_pSlot->delivery); // waits for a delivery in progress
        m_pSlot->closed = true;
    }

    uint32_t DeviceId() const override { return m_nId; }

    MMRESULT Start() override { return SetStarted(true); }
    MMRESULT Stop() override { return SetStarted(false); }

    MMRESULT Reset() override
    {
        std::lock_guard lock(m_pState->mutex);
        ++m_pState->inputs[m_nId].resets;
        return MMSYSERR_NOERROR;
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

    std::shared_ptr<CLoopbackMidiBackend::State> m_pState;
    uint32_t m_nId;
    std::shared_ptr<InputSlot> m_pSlot;
};

class CLoopbackOutPort : public IMidiOutPort {
public:
    CLoopbackOutPort(std::shared_ptr<CLoopbackMidiBackend::State> state, uint32_t id,
                     std::shared_ptr<OutputSlot> slot)
        : m_pState(std::move(state)), m_nId(id), m_pSlot(std::move(slot))
    {
    }

    ~CLoopbackOutPort() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            auto [first, last] = m_pState->openOutputs.equal_range(m_nId);
            for (auto it = first; it != last; ++it) {
                if (it->second == m_pSlot) {
                    m_pState->openOutputs.erase(it);
                    break;
                }
            }
        }
        std::lock_guard lock(m_pSlot->mutex);
        m_pSlot->closed = true;
    }

    uint32_t DeviceId() const override { return m_nId; }

    MMRESULT ShortMsg(uint32_t packed) override
    {
        uint8_t bytes[3];
        if (MidiWire::Encode(packed, bytes) == 0)
            return MMSYSERR_INVALPARAM;
        std::lock_guard lock(m_pSlot->mutex);
        if (m_pSlot->lost)
            return MMSYSERR_NODRIVER;
        m_pSlot->notes.Track(packed);
        m_pState->Record(m_nId, packed);
        return MMSYSERR_NOERROR;
    }

    MMRESULT Reset() override
    {
        {
            std::lock_guard lock(m_pState->mutex);
            ++m_pState->outputs[m_nId].resets;
        }
        std::lock_guard lock(m_pSlot->mutex);
        if (m_pSlot->lost) {
            m_pSlot->notes.Clear();
            return MMSYSERR_NODRIVER;
        }
        m_pSlot->notes.Silence([this](uint32_t msg) { m_pState->Record(m_nId, msg); });
        return MMSYSERR_NOERROR;
    }

private:
    std::shared_ptr<CLoopbackMidiBackend::State> m_pState;
    uint32_t m_nId;
    std::shared_ptr<OutputSlot> m_pSlot;
};

QString DefaultInputName(uint32_t id)
{
    return QStringLiteral("Loopback MIDI In %1").arg(id + 1);
}

QString DefaultOutputName(uint32_t id)
{
    if (id == MIDI_MAPPER)
        return QStringLiteral("Loopback Synthesizer");
    return QStringLiteral("Loopback MIDI Out %1").arg(id + 1);
}

} // namespace

CLoopbackMidiBackend::CLoopbackMidiBackend(unsigned inputCount, unsigned outputCount)
    : m_pState(std::make_shared<State>())
{
    m_pState->inputCount = inputCount;
    m_pState->outputCount = outputCount;
}

CLoopbackMidiBackend::~CLoopbackMidiBackend() = default;

void CLoopbackMidiBackend::SetInputCount(unsigned count)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->inputCount = count;
}

void CLoopbackMidiBackend::SetOutputCount(unsigned count)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->outputCount = count;
}

void CLoopbackMidiBackend::SetInputCaps(unsigned index, const MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->inputs[index].caps = caps;
    m_pState->inputs[index].hasCaps = true;
}

void CLoopbackMidiBackend::SetOutputCaps(uint32_t id, const MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->outputs[id].caps = caps;
    m_pState->outputs[id].hasCaps = true;
}

void CLoopbackMidiBackend::SetInputName(unsigned index, const QString& name)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->inputs[index].caps.szPname = name;
    m_pState->inputs[index].hasCaps = true;
}

void CLoopbackMidiBackend::SetOutputName(uint32_t id, const QString& name)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->outputs[id].caps.szPname = name;
    m_pState->outputs[id].hasCaps = true;
}

void CLoopbackMidiBackend::SetInputNoDriver(unsigned index, bool noDriver)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->inputs[index].noDriver = noDriver;
}

void CLoopbackMidiBackend::SetOutputNoDriver(uint32_t id, bool noDriver)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->outputs[id].noDriver = noDriver;
}

void CLoopbackMidiBackend::SetInputOpenResult(unsigned index, MMRESULT result)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->inputs[index].openResult = result;
}

void CLoopbackMidiBackend::SetOutputOpenResult(uint32_t id, MMRESULT result)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->outputs[id].openResult = result;
}

bool CLoopbackMidiBackend::Inject(unsigned index, uint32_t packed)
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        const auto it = m_pState->openInputs.find(index);
        if (it == m_pState->openInputs.end())
            return false;
        slot = it->second;
    }
    std::lock_guard lock(slot->delivery);
    if (slot->closed || slot->lost || !slot->started)
        return false;
    slot->onData(packed);
    return true;
}

bool CLoopbackMidiBackend::IsInputOpen(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->openInputs.count(index) != 0;
}

bool CLoopbackMidiBackend::IsInputStarted(unsigned index) const
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        const auto it = m_pState->openInputs.find(index);
        if (it == m_pState->openInputs.end())
            return false;
        slot = it->second;
    }
    std::lock_guard lock(slot->delivery);
    return slot->started && !slot->lost;
}

unsigned CLoopbackMidiBackend::InputOpenCount(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto it = m_pState->inputs.find(index);
    return it == m_pState->inputs.end() ? 0 : it->second.opens;
}

unsigned CLoopbackMidiBackend::InputResetCount(unsigned index) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto it = m_pState->inputs.find(index);
    return it == m_pState->inputs.end() ? 0 : it->second.resets;
}

std::vector<uint32_t> CLoopbackMidiBackend::Sent(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto it = m_pState->sent.find(id);
    return it == m_pState->sent.end() ? std::vector<uint32_t>{} : it->second;
}

void CLoopbackMidiBackend::ClearSent()
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->sent.clear();
}

unsigned CLoopbackMidiBackend::OpenOutputs(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    return static_cast<unsigned>(m_pState->openOutputs.count(id));
}

unsigned CLoopbackMidiBackend::OutputOpenCount(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto it = m_pState->outputs.find(id);
    return it == m_pState->outputs.end() ? 0 : it->second.opens;
}

unsigned CLoopbackMidiBackend::OutputResetCount(uint32_t id) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto it = m_pState->outputs.find(id);
    return it == m_pState->outputs.end() ? 0 : it->second.resets;
}

bool CLoopbackMidiBackend::VanishInput(unsigned index)
{
    std::shared_ptr<InputSlot> slot;
    {
        std::lock_guard lock(m_pState->mutex);
        const auto it = m_pState->openInputs.find(index);
        if (it == m_pState->openInputs.end())
            return false;
        slot = it->second;
    }
    std::lock_guard lock(slot->delivery);
    if (slot->closed || slot->lost)
        return false;
    slot->lost = true;
    slot->started = false;
    if (slot->onLost)
        slot->onLost();
    return true;
}

bool CLoopbackMidiBackend::VanishOutput(uint32_t id)
{
    std::vector<std::shared_ptr<OutputSlot>> openSlots;
    {
        std::lock_guard lock(m_pState->mutex);
        auto [first, last] = m_pState->openOutputs.equal_range(id);
        for (auto it = first; it != last; ++it)
            openSlots.push_back(it->second);
    }
    bool any = false;
    for (const auto& slot : openSlots) {
        std::lock_guard lock(slot->mutex);
        if (slot->closed || slot->lost)
            continue;
        slot->lost = true;
        any = true;
        if (slot->onLost)
            slot->onLost();
    }
    return any;
}

QString CLoopbackMidiBackend::Name() const
{
    return QStringLiteral("loopback");
}

unsigned CLoopbackMidiBackend::InputCount()
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->inputCount;
}

unsigned CLoopbackMidiBackend::OutputCount()
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->outputCount;
}

MMRESULT CLoopbackMidiBackend::GetInputCaps(uint32_t id, MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    if (id >= m_pState->inputCount)
        return MMSYSERR_BADDEVICEID;
    const DeviceSetup& setup = m_pState->inputs[id];
    if (setup.noDriver)
        return MMSYSERR_NODRIVER;
    if (setup.hasCaps) {
        caps = setup.caps;
    } else {
        caps = MidiCaps{};
        caps.szPname = DefaultInputName(id);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CLoopbackMidiBackend::GetOutputCaps(uint32_t id, MidiCaps& caps)
{
    std::lock_guard lock(m_pState->mutex);
    if (id != MIDI_MAPPER && id >= m_pState->outputCount)
        return MMSYSERR_BADDEVICEID;
    const DeviceSetup& setup = m_pState->outputs[id];
    if (setup.noDriver)
        return MMSYSERR_NODRIVER;
    if (setup.hasCaps) {
        caps = setup.caps;
    } else {
        caps = MidiCaps{};
        caps.szPname = DefaultOutputName(id);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CLoopbackMidiBackend::OpenInput(uint32_t id, MidiInputHandler onData,
                                         MidiPortLostHandler onLost,
                                         std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    std::lock_guard lock(m_pState->mutex);
    if (id >= m_pState->inputCount)
        return MMSYSERR_BADDEVICEID;
    DeviceSetup& setup = m_pState->inputs[id];
    if (setup.noDriver)
        return MMSYSERR_NODRIVER;
    if (setup.openResult != MMSYSERR_NOERROR)
        return setup.openResult;
    // Like a hardware port, an input serves one client at a time.
    if (m_pState->openInputs.count(id))
        return MMSYSERR_ALLOCATED;
    auto slot = std::make_shared<InputSlot>();
    slot->onData = std::move(onData);
    slot->onLost = std::move(onLost);
    m_pState->openInputs.emplace(id, slot);
    ++setup.opens;
    port = std::make_unique<CLoopbackInPort>(m_pState, id, std::move(slot));
    return MMSYSERR_NOERROR;
}

MMRESULT CLoopbackMidiBackend::OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                                          std::unique_ptr<IMidiOutPort>& port)
{
    port.reset();
    std::lock_guard lock(m_pState->mutex);
    if (id != MIDI_MAPPER && id >= m_pState->outputCount)
        return MMSYSERR_BADDEVICEID;
    DeviceSetup& setup = m_pState->outputs[id];
    if (setup.noDriver)
        return MMSYSERR_NODRIVER;
    if (setup.openResult != MMSYSERR_NOERROR)
        return setup.openResult;
    auto slot = std::make_shared<OutputSlot>();
    slot->onLost = std::move(onLost);
    m_pState->openOutputs.emplace(id, slot);
    ++setup.opens;
    port = std::make_unique<CLoopbackOutPort>(m_pState, id, std::move(slot));
    return MMSYSERR_NOERROR;
}
