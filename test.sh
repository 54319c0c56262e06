#!/usr/bin/env bash
# Installs what Kelvora needs, builds it warnings-clean and runs every test,
# then again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# tests of the paths that cross threads (input, thru, metronome, ports)
# under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-packages.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-Werror" >/dev/null
cmake --build build -j "$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVORA_SANITIZE=ON \
  -DKELVORA_BENCH=OFF -DCMAKE_CXX_FLAGS="-Werror -O1" >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600)

# The paths that cross threads: input, thru, metronome, services over the
# loopback backend, and our JACK ports under floods from real JACK peers. No
# suppressions. What the sanitizer cannot see is announced to it: the
# hand-over of MIDI events through Qt's event queue (midi/MidiNotifyTarget.cpp)
# and of JACK port buffers between process threads (platform/JackBufferTurn.h).
# The JACK fixture starts its server by fork and exec (tests/real/ChildProcess.h
# says why); tests that start other programs with QProcess are left out here.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_TSAN=ON \
  -DKELVORA_BENCH=OFF -DCMAKE_CXX_FLAGS="-Werror" >/dev/null
cmake --build build-tsan -j "$jobs" --target test_platform test_midi test_view test_real
export TSAN_OPTIONS="halt_on_error=1"
threaded='^(MidiInDeviceTest|MidiOutDeviceTest|MidiPortReturnTest|PeriodicTimer|PeriodicSchedule|BeepRelay|Service|LoopbackMidiBackendTest|ThruPathTest|MetronomeTest|ViewPortsTest|JackPortsFloodTest)\.'
(cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600 -R "$threaded")
