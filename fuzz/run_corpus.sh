#!/usr/bin/env bash
# Runs one fuzz target over its committed corpus, every input once, so that a
# fault once found and added there stays found. No mutation: the same corpus
# gives the same verdict on every run. Crash reports and reproducers go to a
# scratch folder, never into the corpus.
# Usage: run_corpus.sh <fuzz target> <corpus folder> <scratch folder>
set -euo pipefail
target="$1" corpus="$2" scratch="$3"
rm -rf "$scratch"
mkdir -p "$scratch"
"$target" -runs=0 -timeout=20 -rss_limit_mb=4096 -artifact_prefix="$scratch/" "$corpus"
