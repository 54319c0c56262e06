#!/usr/bin/env bash
# Installs what Kelvora needs, builds it warnings-clean and runs every test,
# checks its Debian package (installed, started and removed again with apt),
# then runs the tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# tests of the paths that cross threads (input, thru, metronome, ports)
# under ThreadSanitizer, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-packages.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-Werror" >/dev/null
cmake --build build -j "$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300)

# The Debian package: lintian, then installed with apt, started, played,
# handed over to and removed again (tools/check-package.sh says how).
tools/check-package.sh build

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
threaded='^(MidiInDeviceTest|MidiOutDeviceTest|MidiPortReturnTest|PeriodicTimer|PeriodicSchedule|BeepRelay|Service|LoopbackMidiBackendTest|ThruPathTest|MetronomeTest|ViewPortsTest|JackPortsFloodTest|BeatMarkTest)\.'
(cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600 -R "$threaded")

# Every fuzz target (fuzz/<Name>Fuzz.cpp, built as kelvora_<name>_fuzz) for a
# short while under clang's libFuzzer and the sanitizers, each on a copy of
# its seeds in fuzz/corpus/<name>/ (when there are any), so what the fuzzers
# add stays out of the tree. A finding stops the run with the input saved.
# Warnings are gated by the gcc builds above; clang warns about other things.
fuzzers=() targets=()
for src in fuzz/*Fuzz.cpp; do
  name=$(basename "$src" Fuzz.cpp)
  fuzzers+=("${name,,}")
  targets+=("kelvora_${name,,}_fuzz")
done
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKELVORA_FUZZ=ON -DKELVORA_SANITIZE=ON -DKELVORA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"
fuzz_work=$(mktemp -d)
trap 'rm -rf "$fuzz_work"' EXIT
for name in "${fuzzers[@]}"; do
  mkdir -p "$fuzz_work/$name"
  if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$fuzz_work/$name/"; fi
  echo "fuzzing kelvora_${name}_fuzz"
  QT_QPA_PLATFORM=offscreen "build-fuzz/kelvora_${name}_fuzz" -max_total_time=20 -print_final_stats=1 \
    -artifact_prefix="$PWD/build-fuzz/$name-" "$fuzz_work/$name"
done
