#!/usr/bin/env bash
# bench/run runs the benchmark programs of its build and nothing else: CMake
# leaves a folder named like each benchmark (bench_x_autogen) beside it.
set -euo pipefail
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bench/bench_one_autogen"
printf '#!/bin/sh\n' >"$work/bench/bench_one"
chmod +x "$work/bench/bench_one"
touch "$work/bench/bench_notes.txt"
listed=$(VO_BENCH_BUILD="$work" "$top/bench/run" --list)
[ "$listed" = "$work/bench/bench_one" ] || { echo "bench/run --list gave: $listed" >&2; exit 1; }
