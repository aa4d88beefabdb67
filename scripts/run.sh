#!/usr/bin/env bash
# Installs what is missing, builds Voltix (release) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
if [ ! -x build/release/app/voltix ]; then
  echo "The application is not built yet: nothing to start."
  exit 0
fi
exec build/release/app/voltix
