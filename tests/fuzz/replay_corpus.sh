#!/usr/bin/env bash
# Runs a fuzz target once over every input of its corpus, finding no new
# inputs; fails on any crash, leak, undefined behaviour or broken rule, and
# then shows libFuzzer's report.
# Usage: replay_corpus.sh FUZZER CORPUS_DIR
set -uo pipefail
fuzzer=$1
corpus=$2
mapfile -t inputs < <(find "$corpus" -type f | sort)
if [ ${#inputs[@]} -eq 0 ]; then
    echo "replay_corpus: no inputs in $corpus" >&2
    exit 1
fi
output=$("$fuzzer" "${inputs[@]}" 2>&1)
status=$?
if [ "$status" -ne 0 ]; then
    echo "$output"
    echo "replay_corpus: $(basename "$fuzzer") failed (exit $status)" >&2
    exit "$status"
fi
echo "replay_corpus: ${#inputs[@]} inputs of $(basename "$corpus") ran clean"
