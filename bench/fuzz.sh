#!/usr/bin/env bash
# Builds the fuzz targets natively (clang, libFuzzer, address and
# undefined-behaviour sanitizers) and fuzzes each in turn for the given
# seconds, one at a time. Each target starts from its corpus in the tree
# (tests/fuzz/corpus/TARGET) and from what its earlier runs found
# (BUILD/work/TARGET); inputs that crash, leak or break a rule are saved in
# BUILD/findings/TARGET/. Prints each target's executions and findings, and
# exits non-zero when any target found something.
#
#   bench/fuzz.sh [SECONDS] [TARGET...]     (default: 60 s, every target)
#   PELKO_FUZZ_BUILD=DIR                     (default: build-fuzz)
#
# Targets: free_space_reply frame_decoder device_request device_answer device_path
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PELKO_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(free_space_reply frame_decoder device_request device_answer device_path)
fi
case "$seconds" in
'' | *[!0-9]*)
    echo "usage: bench/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac

"$root/scripts/setup.sh"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" >/dev/null

found_any=0
printf '%-18s %8s %14s %9s  %s\n' target seconds executions findings where
for target in "${targets[@]}"; do
    fuzzer="$build/fuzz_$target"
    seeds="$root/tests/fuzz/corpus/$target"
    if [ ! -x "$fuzzer" ] || [ ! -d "$seeds" ]; then
        echo "fuzz: no target $target" >&2
        exit 2
    fi
    work="$build/work/$target"
    findings="$build/findings/$target"
    mkdir -p "$work" "$findings"
    log="$build/findings/$target.log"
    # New inputs go to the work corpus; the corpus in the tree is only read.
    set +e
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" "$seeds" >"$log" 2>&1
    status=$?
    set -e
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    [ -n "$executions" ] || executions=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    count=$(find "$findings" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$count" -ne 0 ]; then
        found_any=1
    fi
    printf '%-18s %8s %14s %9s  %s\n' "$target" "$seconds" "${executions:-?}" "$count" \
        "$( [ "$count" -ne 0 ] && echo "$findings" || echo "-")"
    if [ "$status" -ne 0 ]; then
        echo "  exit $status; report: $log"
        grep -m3 -E 'ERROR: |runtime error|rule broken' "$log" | sed 's/^/  /' || true
    fi
done
exit "$found_any"
