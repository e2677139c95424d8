#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Prints the executions and findings of each target; a finding (crash, sanitizer report,
# leak, timeout) is kept under build/fuzz/findings/TARGET/ and makes the exit status 1.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
case "$seconds" in
    '' | *[!0-9]*) echo "usage: $0 [seconds per target]" >&2; exit 2 ;;
esac
bash "$root/scripts/install-deps.sh" --fuzz
build="$root/build/fuzz"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 >/dev/null

# The reply reader's limits lie at 4 KiB per line and 64 KiB per reply: inputs must reach them.
declare -A max_len=([fuzz_ftp_reply]=70000 [fuzz_passive_address]=512 [fuzz_listing_match]=8192)
status=0
printf '%-22s %12s %9s %s\n' target executions findings where
for target in fuzz_ftp_reply fuzz_passive_address fuzz_listing_match; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    log="$build/$target.log"
    # Runs never leave this bound; the seeds in fuzz/corpus are read, never written.
    "$build/$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1 || true
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    found="$(find "$findings" -type f | wc -l)"
    printf '%-22s %12s %9s %s\n' "$target" "${executions:-?}" "$found" "$log"
    if [ "$found" -gt 0 ] || [ -z "$executions" ]; then
        status=1
        find "$findings" -type f | sed 's/^/    /'
        grep -m 3 -E 'ERROR: |runtime error|deadly signal' "$log" | sed 's/^/    /' || true
    fi
done
exit "$status"
