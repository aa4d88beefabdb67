#!/usr/bin/env bash
# Installs what is missing, builds Voltix with its tests and runs every test
# (GUI and 3D tests need an X server: they run under Xvfb), each on its own and
# then each executable whole in a shuffled order; then builds the fuzz targets
# and runs each over its corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
cd "$root"
# -noreset: an X server resets itself whenever its last client leaves and
# refuses connections meanwhile; hundreds of short test processes come and go,
# and one of them would now and then find the display closed.
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" \
  ctest --preset release -j "$(nproc)" --no-tests=error
# ctest starts a process for each test; each executable also runs whole once,
# in an order shuffled by a printed seed.
bash scripts/test-shuffled.sh

cmake --preset fuzz
cmake --build --preset fuzz
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" \
  ctest --preset fuzz -j "$(nproc)" --no-tests=error
