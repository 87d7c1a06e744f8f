#!/usr/bin/env bash
# Measures pelko against the floor: the same update copied over the same
# emulated link (devicesim and our rapi.dll from the prefix's system folder)
# by pelko.exe, watched through its window, and by minimalcopy.exe, which
# makes only the requests that every copy must make (folders, then per file
# CeCreateFile, CeWriteFile in 128 KiB blocks, CeCloseHandle).
#
# Three workloads (one 256 MiB file; 5,000 files of 4 KiB in 50 folders;
# 20 files of 5 MiB and 2,000 files of 1-64 KiB), unthrottled and at two
# USB-like settings, where they are scaled down (one 8 MiB file; 500 x 4 KiB
# in 5 folders; 2 x 5 MiB and 200 x 1-64 KiB). Every run ends with a check
# that each file arrived byte for byte. Prints each run's figures and, at the
# end, a markdown table, also saved to <build>/bench-results/copy_floor.md
# (the runs' own files are kept in <build>/bench-results/runs/).
#
#   bench/copy_floor.sh [--quick] [--settings NAME,...] [--repeat N] [build-folder]
#
#   --quick      only the unthrottled setting, with the scaled-down workloads
#   --settings   a subset of: unthrottled, usb-250k, usb-1m (default: all three)
#   --repeat N   every run N times; the table shows the run of median time
#   build-folder default: build
#
# Run it after scripts/test.sh has built the build folder, and not while
# another command uses that build's Wine prefix (it stops its wineserver).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

settings="unthrottled,usb-250k,usb-1m"
quick=0
repeat=1
build=""
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) quick=1 ;;
    --settings)
        settings="$2"
        shift
        ;;
    --repeat)
        repeat="$2"
        shift
        ;;
    -h | --help)
        sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "copy_floor: unknown option $1" >&2
        exit 2
        ;;
    *) build="$1" ;;
    esac
    shift
done
[ $quick -eq 1 ] && settings=unthrottled
[[ "$repeat" =~ ^[1-9][0-9]*$ ]] || {
    echo "copy_floor: --repeat takes a count" >&2
    exit 2
}
build="$(cd "${build:-$root/build}" && pwd)"
[ -f "$build/build.ninja" ] || {
    echo "copy_floor: $build is not built; run scripts/test.sh first" >&2
    exit 1
}
export PELKO_BUILD="$build"
# shellcheck source=../scripts/env.sh
source "$root/scripts/env.sh"
cmake --build "$build" --target pelko insthelp devicesim rapi rapi_install minimalcopy \
    pelkostopwatch >/dev/null

# setting name -> devicesim's link options and the workloads' scale
declare -A link_options=([unthrottled]="" [usb-250k]="--rate 250000 --latency-ms 3"
    [usb-1m]="--rate 1000000 --latency-ms 1")
declare -A scale_of=([unthrottled]=full [usb-250k]=scaled [usb-1m]=scaled)
[ $quick -eq 1 ] && scale_of[unthrottled]=scaled
IFS=, read -r -a chosen <<<"$settings"
for s in "${chosen[@]}"; do
    [ -n "${scale_of[$s]+x}" ] || {
        echo "copy_floor: unknown setting $s" >&2
        exit 2
    }
done
workloads=(one-file small-files mixed)

work="$(mktemp -d "${TMPDIR:-/tmp}/pelko-copy-floor.XXXXXX")"
report="$root/bench/copy_floor_report.py"
results="$build/bench-results"
rm -rf "$results/runs"
mkdir -p "$results/runs"
devicesim_pid=""
cleanup() {
    if [ -n "$devicesim_pid" ]; then
        kill "$devicesim_pid" 2>/dev/null || true
        wait "$devicesim_pid" 2>/dev/null || true
    fi
    stop_session
    rm -rf "$work"
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "$(echo "$1" | tr '/' '\\')"; }

# make_update DIR WORKLOAD SCALE: the update_files tree of a workload, of
# random bytes (seeded, so every run copies the same files).
make_update() {
    python3 - "$1" "$2" "$3" <<'PY'
import os, random, sys
folder, workload, scale = sys.argv[1], sys.argv[2], sys.argv[3]
full = scale == "full"
rng = random.Random(f"{workload}-{scale}")
MiB, KiB = 1 << 20, 1 << 10

def write(rel, size):
    path = os.path.join(folder, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        while size > 0:
            n = min(size, 8 * MiB)
            f.write(rng.randbytes(n))
            size -= n

if workload == "one-file":
    write("maps/world.map", (256 if full else 8) * MiB)
elif workload == "small-files":
    folders = 50 if full else 5
    for d in range(folders):
        for i in range(100):
            write(f"tiles/d{d:02}/t{i:03}.bin", 4 * KiB)
else:
    for i in range(20 if full else 2):
        write(f"maps/region{i:02}.map", 5 * MiB)
    small = 2000 if full else 200
    for i in range(small):
        write(f"poi/p{i // 100:02}/poi{i:04}.dat", rng.randint(1 * KiB, 64 * KiB))
PY
}

# start_device DIR [link options]: devicesim on a fresh DIR/device.
start_device() {
    local dir=$1
    shift
    mkdir -p "$dir/device"
    "$build/wine-run" "$build/bin/devicesim.exe" --storage "$(winpath "$dir/device")" --port 0 \
        --port-file "$(winpath "$dir/port")" "$@" >"$dir/devicesim.out" 2>&1 &
    devicesim_pid=$!
    for _ in $(seq 200); do [ -s "$dir/port" ] && break; sleep 0.05; done
    [ -s "$dir/port" ] || {
        echo "copy_floor: devicesim did not start" >&2
        cat "$dir/devicesim.out" >&2
        exit 1
    }
    RAPI_DEVICE="127.0.0.1:$(tr -d '\r\n' <"$dir/port")"
    export RAPI_DEVICE
}

# stop_device DIR: Ctrl+C, so that devicesim prints its counters.
stop_device() {
    local dir=$1
    kill -INT "$devicesim_pid" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$devicesim_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$devicesim_pid" 2>/dev/null || true
    wait "$devicesim_pid" 2>/dev/null || true
    devicesim_pid=""
    grep -q "peak working set" "$dir/devicesim.out" || {
        echo "copy_floor: devicesim printed no counters" >&2
        exit 1
    }
}

# run_one SETTING WORKLOAD PROGRAM STAGE REPETITION
run_one() {
    local setting=$1 workload=$2 program=$3 stage=$4 repetition=$5
    local dir="$work/run"
    rm -rf "$dir"
    mkdir -p "$dir"
    # shellcheck disable=SC2086
    start_device "$dir" ${link_options[$setting]}
    local status=0
    if [ "$program" = pelko ]; then
        "$build/wine-run" "$build/bin/pelkostopwatch.exe" "$(winpath "$stage")" \
            >"$dir/program.out" 2>&1 || status=$?
    else
        "$build/wine-run" "$build/bin/minimalcopy.exe" "$(winpath "$stage/update_files")" \
            '\Mounted Volume' >"$dir/program.out" 2>&1 || status=$?
    fi
    stop_device "$dir"
    local intact=yes
    if [ $status -ne 0 ] || ! diff -r "$stage/update_files" "$dir/device/Mounted Volume" \
        >"$dir/diff.out" 2>&1; then
        intact=no
    fi
    local out="$results/runs/$setting.$workload.$program.$repetition"
    mkdir -p "$out"
    tr -d '\r' <"$dir/program.out" >"$out/program.out"
    tr -d '\r' <"$dir/devicesim.out" >"$out/devicesim.out"
    cp "$dir/diff.out" "$out/diff.out"
    {
        echo "status=$status"
        echo "intact=$intact"
        echo "files=$(find "$stage/update_files" -type f | wc -l)"
        echo "bytes=$(find "$stage/update_files" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')"
        echo "link=${link_options[$setting]}"
        echo "scale=${scale_of[$setting]}"
    } >"$out/run.env"
    rm -rf "$dir"
    sync
    printf '  %-6s %s\n' "$program" "$(python3 "$report" line "$out")"
    [ "$intact" = yes ] || echo "           NOT INTACT: see $out/diff.out and $out/program.out"
}

echo "== copy_floor: pelko against the minimal client, build $build"
{
    echo "date=$(date -u +%Y-%m-%d)"
    echo "cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
    echo "cores=$(nproc)"
    echo "kernel=$(uname -r)"
    echo "wine=$("$build/wine-run" --version 2>/dev/null || echo unknown)"
    echo "load_start=$(cut -d' ' -f1-3 /proc/loadavg)"
} >"$results/machine.env"
sed 's/^/   /' "$results/machine.env"
PELKO_OWN_DISPLAY=1 start_session
"$build/wine-run" "$build/emulator-bin/rapi_install.exe" >/dev/null

declare -A staged=()
for setting in "${chosen[@]}"; do
    scale=${scale_of[$setting]}
    echo
    echo "== $setting (${link_options[$setting]:-no throttle}), $scale workloads;" \
        "load average $(cut -d' ' -f1-3 /proc/loadavg)"
    for workload in "${workloads[@]}"; do
        stage="$work/stage-$scale-$workload"
        if [ -z "${staged[$stage]+x}" ]; then
            mkdir -p "$stage/update_files"
            make_update "$stage/update_files" "$workload" "$scale"
            cp "$build/bin/pelko.exe" "$build/bin/insthelp.dll" "$stage/"
            staged[$stage]=1
        fi
        echo "-- $workload"
        for repetition in $(seq "$repeat"); do
            for program in pelko client; do
                run_one "$setting" "$workload" "$program" "$stage" "$repetition"
            done
        done
    done
done

echo "load_end=$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results/machine.env"
echo
python3 "$report" table "$results" | tee "$results/copy_floor.md"
python3 "$report" check "$results"
