#!/usr/bin/env bash
# Copies a sparse file of 5 GiB and one block plus a byte through our rapi.dll
# to devicesim with the batch block size, and checks that it arrives whole
# with one block message per block (the 64-bit count of bytes done). Prints
# the size and the time taken. Needs about 5 GiB of free disk for the device's
# copy; PELKO_LARGE_FILE_MIB=N copies N MiB and a block instead.
#
#   bench/transfer_large_file.sh [build-folder]      (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cmake --build "$build" --target transfer_engine_test >/dev/null
"$root/scripts/session.sh" "$build" ./wine-run bin/transfer_engine_test.exe \
    --gtest_also_run_disabled_tests --gtest_filter='*CopiesAFileBeyondFourGiBWhole'
