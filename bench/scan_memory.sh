#!/usr/bin/env bash
# Builds folder trees of 10,000 files in 100 folders and of 100,000 files in
# 1,000 folders (three levels: top folders of 9 subfolders of 10 folders each,
# 100 files in every folder) and walks each with scanbench under Wine,
# printing entries, time and memory as the walk goes.
#
#   bench/scan_memory.sh [build-folder]      (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cmake --build "$build" --target scanbench >/dev/null

work="$(mktemp -d /tmp/pelko-scanbench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# make_tree DIR TOP: TOP top folders, each with 9 subfolders, each with 10
# leaf folders (100 folders per top folder), 100 empty files in every folder.
make_tree() {
    local dir=$1 top=$2
    for t in $(seq 0 $((top - 1))); do
        for s in $(seq 0 8); do
            for l in $(seq 0 9); do
                mkdir -p "$dir/t$t/s$s/l$l"
                (cd "$dir/t$t/s$s/l$l" && touch f{00..99}.bin)
            done
            (cd "$dir/t$t/s$s" && touch f{00..99}.bin)
        done
        (cd "$dir/t$t" && touch f{00..99}.bin)
    done
}

for top in 1 10; do
    tree="$work/tree$top"
    mkdir -p "$tree"
    make_tree "$tree" "$top"
    echo "== tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders"
    "$root/scripts/session.sh" "$build" ./wine-run bin/scanbench.exe "Z:${tree//\//\\}" \
        $((top * 1000))
done
