#!/usr/bin/env bash
# Runs every test executable of the release build once, whole, with its tests
# in a shuffled order: a test that leans on what another left behind, or on
# running first in its process, fails here, where ctest (one process a test)
# would not see it.
#
#   bash scripts/test-shuffled.sh [seed]
#
# The seed (1 to 99999) chooses the order; without one a random seed is taken
# and printed, so a failing order can be repeated exactly. Needs a build
# (scripts/build.sh); starts its own Xvfb when no display is set.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seed="${1:-$((RANDOM % 99999 + 1))}"
if ! [[ "$seed" =~ ^[0-9]+$ ]] || ((seed < 1 || seed > 99999)); then
  echo "test-shuffled: the seed must be a whole number from 1 to 99999, not \"$seed\"" >&2
  exit 2
fi
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "${BASH_SOURCE[0]}" "$seed"
fi

list="$root/build/release/test-binaries.txt"
if [[ ! -f "$list" ]]; then
  echo "test-shuffled: $list is missing; build first (bash scripts/build.sh)" >&2
  exit 2
fi

echo "Each test executable whole, shuffled with seed $seed (repeat: bash scripts/test-shuffled.sh $seed)"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
failed=0
while read -r binary environment; do
  [[ -n "$binary" ]] || continue
  name="$(basename "$binary")"
  start=$SECONDS
  if env ${environment:+"$environment"} "$binary" --gtest_shuffle --gtest_random_seed="$seed" >"$log" 2>&1; then
    printf '  %-24s passed  %3d s\n' "$name" $((SECONDS - start))
  else
    failed=1
    printf '  %-24s FAILED  %3d s\n' "$name" $((SECONDS - start))
    tail -n 80 "$log" | sed 's/^/    /'
    echo "    repeat: ${environment:+$environment }$binary --gtest_shuffle --gtest_random_seed=$seed"
  fi
done <"$list"
exit "$failed"
