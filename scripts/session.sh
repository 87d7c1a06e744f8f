#!/usr/bin/env bash
# Runs a command with a virtual display and a persistent wineserver on the
# prefix of a build folder, e.g.
#   scripts/session.sh build ctest --output-on-failure -R device
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
PELKO_BUILD="$(cd "$1" && pwd)"
shift
# shellcheck source=env.sh
source "$here/env.sh"
start_session
trap stop_session EXIT
cd "$PELKO_BUILD"
"$@"
