#pragma once
// Result codes and device ids with the meanings of the multimedia services the
// program was designed on; every MIDI operation reports one of these.
#include <cstdint>

using MMRESULT = unsigned int;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

// No device chosen (-100 stored as an unsigned 32-bit value).
constexpr uint32_t MIDI_NO_DEVICE = 0xFFFFFF9Cu;
// The always-present synthesizer; valid for output only.
constexpr uint32_t MIDI_MAPPER = 0xFFFFFFFFu;
