#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then builds it again
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs it once more.
# KAVRIN_SKIP_SANITIZE=1 runs only the first stage.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="$root/build/test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@")

[ "${KAVRIN_SKIP_SANITIZE:-0}" = 1 ] && exit 0
echo "== The suite again with -fsanitize=address,undefined"
asan="$root/build/asan"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIN_BUILD_TESTS=ON -DKAVRIN_SANITIZE=ON >/dev/null
cmake --build "$asan" -j "$(nproc)"
cd "$asan"
ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:halt_on_error=1}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}" \
    ctest --output-on-failure -j "$(nproc)" "$@"
