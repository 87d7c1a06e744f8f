#!/usr/bin/env bash
# Installs what is missing, builds pelko and its tests, and runs every test
# under Wine on a virtual display. Exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
# shellcheck source=env.sh
source "$here/env.sh"

# The shipped 32-bit programs are always built; the tests check them.
if [ "$PELKO_ARCH" != i686 ] && [ -z "${PELKO_SKIP_SHIPPED:-}" ]; then
    configure_and_build "$PELKO_SHIPPED_BUILD" i686 pelko rapi insthelp devicesim
fi
configure_and_build "$PELKO_BUILD" "$PELKO_ARCH"

start_session
trap stop_session EXIT
cd "$PELKO_BUILD"
ctest --output-on-failure -j2 "$@"
