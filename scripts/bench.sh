#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs each against curl on a local FTP server; prints
# one table. Usage: scripts/bench.sh [ROUNDS]  (at least 5; KAVRIN_BENCH_ONLY=1,3 runs a few)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rounds="${1:-5}"
[ "$rounds" -ge 5 ] || { echo "bench.sh: at least 5 rounds" >&2; exit 2; }

bash "$root/scripts/install-deps.sh"

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVRIN_BUILD_BENCH=ON -DKAVRIN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target KavrinBench

# The program's transfer folder lies beside it: run a copy in a temporary folder so that
# the downloads land under /tmp and go with it.
run="$(mktemp -d /tmp/kavrin-bench-run.XXXXXX)"
trap 'rm -rf "$run"' EXIT
cp "$build/bench/KavrinBench" "$run/"
export QT_QPA_PLATFORM=offscreen
cd "$run"
timeout 3600 "$run/KavrinBench" run "$rounds"
