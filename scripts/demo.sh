#!/usr/bin/env bash
# The main job: a full installation of a demo update into the emulated
# device, shown as a person at the screen would see it.
#
# Builds pelko, stages pelko.exe + insthelp.dll + update_files, starts
# devicesim on a storage that already holds older (partly read-only) copies,
# over a link throttled like USB, runs pelko.exe in a real window, and prints
# what the window showed, the device's files afterwards and whether every
# file arrived byte for byte. Screenshots go to demo-out/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
# shellcheck source=env.sh
source "$here/env.sh"
configure_and_build "$PELKO_BUILD" "$PELKO_ARCH" pelko insthelp rapi_install devicesim pelkowatch >/dev/null

out="$pelko_root/demo-out"
rm -rf "$out"
mkdir -p "$out/stage/update_files" "$out/device/Mounted Volume" "$out/shots"
winpath() { printf 'Z:%s' "$(echo "$1" | tr '/' '\\')"; }
# The device's files as device paths, with their sizes.
device_tree() {
    (cd "$out/device" && find . -mindepth 1 | sort | while read -r p; do
        local name="\\${p#./}"
        name="${name//\//\\}"
        if [ -d "$p" ]; then echo "  $name\\"; else printf '  %-50s %9d bytes\n' "$name" "$(stat -c %s "$p")"; fi
    done)
}

echo "== The update (demo-out/stage/update_files)"
python3 - "$out/stage/update_files" "$out/device/Mounted Volume" <<'PY'
import os, random, sys
update, device = sys.argv[1], sys.argv[2]
rng = random.Random(2026)
files = {
    "maps/europe/Deutschland.map": 900_000,
    "maps/europe/Österreich_Straßen.map": 650_000,
    "maps/poi/fuel stations.poi": 180_000,
    "voices/en/voice.dat": 420_000,
    "program/navi.exe": 512_000,
    "program/settings.ini": 733,
    "readme.txt": 1_900,
}
for rel, size in files.items():
    path = os.path.join(update, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(rng.randbytes(size))
os.makedirs(os.path.join(update, "userdata"), exist_ok=True)  # an empty folder
# Older copies on the device, two of them read-only, and a file of the user's.
old = {"program/navi.exe": 400_000, "program/settings.ini": 610, "maps/europe/Deutschland.map": 850_000,
       "userdata/favourites.dat": 2_048}
for rel, size in old.items():
    path = os.path.join(device, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(rng.randbytes(size))
for rel in ("program/navi.exe", "program/settings.ini"):
    os.chmod(os.path.join(device, rel), 0o444)
PY
(cd "$out/stage/update_files" && find . -mindepth 1 | sort | sed 's|^\./|  |')
cp "$PELKO_BUILD/bin/pelko.exe" "$PELKO_BUILD/bin/insthelp.dll" "$out/stage/"

press_ok=--press-ok
[ -n "${DISPLAY:-}" ] && [ -t 0 ] && [ -z "${CI:-}" ] && press_ok=""
start_session
devicesim_pid=""
cleanup() {
    [ -n "$devicesim_pid" ] && kill "$devicesim_pid" 2>/dev/null && wait "$devicesim_pid" 2>/dev/null
    stop_session
}
trap cleanup EXIT
# Our Remote API library goes where a PC's device software puts it.
"$PELKO_BUILD/wine-run" "$PELKO_BUILD/emulator-bin/rapi_install.exe" >/dev/null

echo
echo "== The device: devicesim on demo-out/device, 250 KB/s link"
"$PELKO_BUILD/wine-run" "$PELKO_BUILD/bin/devicesim.exe" --storage "$(winpath "$out/device")" \
    --port 0 --port-file "$(winpath "$out/port")" --rate 250000 --latency-ms 2 \
    --log "$(winpath "$out/device.log")" >"$out/devicesim.out" 2>&1 &
devicesim_pid=$!
for _ in $(seq 100); do [ -s "$out/port" ] && break; sleep 0.1; done
[ -s "$out/port" ] || { echo "devicesim did not start"; cat "$out/devicesim.out"; exit 1; }
export RAPI_DEVICE="127.0.0.1:$(tr -d '\r\n' <"$out/port")"
echo "  listening on $RAPI_DEVICE; before the run it holds:"
device_tree

echo
echo "== What the user sees"
[ -z "$press_ok" ] && echo "  (press OK in pelko's message box to finish)"
"$PELKO_BUILD/wine-run" "$PELKO_BUILD/bin/pelkowatch.exe" "$(winpath "$out/stage")" \
    "$out/shots" $press_ok | tr -d '\r'

kill -INT "$devicesim_pid" 2>/dev/null || true
wait "$devicesim_pid" 2>/dev/null || true
devicesim_pid=""

echo
echo "== What the device was asked (devicesim's counters)"
tr -d '\r' <"$out/devicesim.out" | sed -n '/counters/,$p' | sed 's/^/  /'

echo
echo "== The device afterwards (demo-out/device)"
device_tree

echo
echo "== Byte for byte"
bad=0
while IFS= read -r -d '' f; do
    rel="${f#"$out/stage/update_files/"}"
    if cmp -s "$f" "$out/device/Mounted Volume/$rel"; then echo "  same     $rel"; else echo "  DIFFERS  $rel"; bad=1; fi
done < <(find "$out/stage/update_files" -type f -print0 | sort -z)
[ -d "$out/device/Mounted Volume/userdata" ] && echo "  present  userdata\\ (empty folder)" || { echo "  MISSING  userdata\\"; bad=1; }
[ -e "$out/device/Mounted Volume/insthelp.dll" ] && { echo "  helper library left on the device"; bad=1; }
echo
echo "Screenshots: $(ls "$out"/shots/*.png 2>/dev/null | tr '\n' ' ')"
if [ $bad -eq 0 ]; then echo "Every file arrived byte for byte."; else echo "Some files did not arrive intact."; exit 1; fi
