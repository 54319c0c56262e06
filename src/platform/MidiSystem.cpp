// The backend the program's MIDI devices use, and how it is chosen.
#include "platform/MidiBackend.h"

#include "platform/JackClientMonitor.h"
#include "platform/LoopbackMidiBackend.h"
#include "platform/RtMidiBackend.h"

namespace {

QString DeviceLine(int number, MMRESULT result, const MidiCaps& caps)
{
    // Named as the selection dialogs name them.
    const QString name = result == MMSYSERR_NODRIVER ? QStringLiteral("[ Invalid Driver ]")
                         : result == MMSYSERR_NOERROR ? caps.szPname
                                                      : QString();
    return QStringLiteral("%1  %2\n").arg(number, 4).arg(name);
}

} // namespace

std::unique_ptr<IMidiBackend> ServiceDefault<IMidiBackend>::Make()
{
    return std::make_unique<CLoopbackMidiBackend>();
}

namespace MidiSystem {

bool Configure(const QString& name, QString* error)
{
    const QString choice = name.trimmed().toLower();
    if (choice == QLatin1String("loopback")) {
        Install(std::make_unique<CLoopbackMidiBackend>(1, 1));
        return true;
    }
    unsigned systems = 0;
    if (choice == QLatin1String("alsa"))
        systems = CRtMidiBackend::Alsa;
    else if (choice == QLatin1String("jack"))
        systems = CRtMidiBackend::Jack;
    else if (choice == QLatin1String("auto"))
        // ALSA where the sequencer exists; JACK devices join whenever a server runs.
        systems = (CRtMidiBackend::AlsaSequencerPresent() ? CRtMidiBackend::Alsa : 0u)
                  | CRtMidiBackend::Jack;
    else {
        if (error)
            *error = QStringLiteral("unknown MIDI backend \"%1\" (use auto, alsa, jack or loopback)")
                         .arg(name);
        return false;
    }
    CJackClientMonitor::PrepareLibrary();
    Install(std::make_unique<CRtMidiBackend>(systems));
    return true;
}

QString DescribeDevices()
{
    IMidiBackend& backend = Backend();
    QString text = QStringLiteral("MIDI backend: %1\n").arg(backend.Name());

    text += QStringLiteral("Input devices:\n");
    const unsigned inputs = backend.InputCount();
    for (unsigned i = 0; i < inputs; ++i) {
        MidiCaps caps;
        const MMRESULT result = backend.GetInputCaps(i, caps);
        text += DeviceLine(static_cast<int>(i), result, caps);
    }
    if (inputs == 0)
        text += QStringLiteral("  (none)\n");

    text += QStringLiteral("Output devices:\n");
    MidiCaps mapper;
    const MMRESULT mapperResult = backend.GetOutputCaps(MIDI_MAPPER, mapper);
    if (mapperResult == MMSYSERR_NOERROR) {
        // Whether the synthesizer can sound is known once it has been tried:
        // a port opened and closed at once says (a running one costs nothing).
        std::unique_ptr<IMidiOutPort> probe;
        const MMRESULT opened = backend.OpenOutput(MIDI_MAPPER, nullptr, probe);
        probe.reset();
        QString problem = backend.OutputProblem(MIDI_MAPPER);
        if (problem.isEmpty() && opened != MMSYSERR_NOERROR)
            problem = QStringLiteral("it could not be opened");
        if (!problem.isEmpty())
            mapper.szPname += QStringLiteral(" - unavailable: %1").arg(problem);
    }
    text += DeviceLine(-1, mapperResult, mapper);
    const unsigned outputs = backend.OutputCount();
    for (unsigned i = 0; i < outputs; ++i) {
        MidiCaps caps;
        const MMRESULT result = backend.GetOutputCaps(i, caps);
        text += DeviceLine(static_cast<int>(i), result, caps);
    }
    return text;
}

} // namespace MidiSystem
