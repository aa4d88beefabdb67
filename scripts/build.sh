#!/usr/bin/env bash
# Installs what is missing and builds Voltix, its tests and benchmarks (release).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
