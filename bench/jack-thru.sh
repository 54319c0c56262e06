#!/bin/sh
# Thru over JACK, counted by sequence number: each rate and load has a
# "direct" row (sender straight into the recorder: what the server carries)
# and the program's rows (log shown, log hidden) right under it. A sound thru
# shows lost = doubled = reordered = 0 like its direct row; median_ms and
# p99_ms are the time from the frame a message was sent at to the frame it
# arrived at, period_ms is one JACK cycle. Needs jackd; takes about 2 minutes.
# Usage: bench/jack-thru.sh [build-dir] [extra benchmark flags]
build=${1:-build}
[ $# -gt 0 ] && shift
QT_QPA_PLATFORM=offscreen "$build/bench/kelvora_bench" --benchmark_filter=BM_JackThru \
    --benchmark_counters_tabular=true "$@"
