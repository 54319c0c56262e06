#pragma once
// The way a message takes to the output: the filter, the move of incoming
// channel messages to the default channel, the notes the program plays itself,
// and the send. Plain logic over the view's settings and its output port, so
// it can be driven and checked without a window.
#include "platform/SoundingNotes.h"

#include <cstdint>
#include <optional>

class CMIDIOutDevice;
class CViewSettings;

class CThruPath {
public:
    CThruPath(const CViewSettings& settings, CMIDIOutDevice& outDevice);

    // What one incoming message does: whether it is logged (as it came), and
    // the message passed on to sound and be shown, if any. What is passed on
    // is remembered until EndInputNotes.
    struct Route {
        bool log = false;
        std::optional<uint32_t> pass;
    };
    Route RouteIncoming(uint32_t packedMsg);

    // The input went away or changed: its notes would sound on for good.
    // Calls send with a sustain-off for every channel whose pedal came down
    // through the input, then a note-off for every note still on.
    template <typename Send>
    void EndInputNotes(Send&& send)
    {
        m_InputNotes.Silence(send);
    }

    // A set filter flag disables its message class.
    bool IsFiltered(uint32_t packedMsg) const;
    // A note of the PC keyboard or the mouse: the default channel unless the
    // MIDI In switch is set, the default velocity.
    uint32_t MakeNoteMessage(uint8_t note, bool on) const;
    // Sends when a port is open; nothing otherwise.
    void SendToOutput(uint32_t packedMsg) const;

    // A channel message moved to another channel; any other message as it is.
    static uint32_t ToChannel(uint32_t packedMsg, int channel);

private:
    const CViewSettings& m_Settings;
    CMIDIOutDevice& m_OutDevice;
    CSoundingNotes m_InputNotes; // what the input left sounding at the output
};
