#!/usr/bin/env bash
# Installs what Kelvora needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_BENCH=OFF >/dev/null
cmake --build build --target kelvora
exec ./build/kelvora "$@"
