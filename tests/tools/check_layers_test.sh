#!/usr/bin/env bash
# The layering check on a small stand-in tree (the project's README, a few
# floors): clean as built, and failing on a planted include that goes up and
# on a README row that says otherwise.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
expect() {  # expect NAME EXIT-CODE TEXT: runs the check on the stand-in tree
  local out rc
  out=$("$root/tools/check-layers" "$work" 2>&1); rc=$?
  if [ "$rc" -eq "$2" ] && [[ "$out" == *"$3"* ]]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED: %s: expected exit %s and "%s", got %s:\n%s\n' "$1" "$2" "$3" "$rc" "$out"; fi
}

mkdir -p "$work"/{base,net,session,tests}
cp "$root/README.md" "$work/"
printf '#pragma once\n' >"$work/base/text.h"
printf '#include "base/text.h"\n' >"$work/net/socket.h"
printf '#include "net/socket.h"\n#include "base/text.h"\n' >"$work/session/worker.cpp"
printf '#include "session/worker.h"\n' >"$work/tests/worker_test.cpp"
expect "clean tree" 0 "layers: clean (4 includes across floors, none up)"

printf '#include "base/text.h"\n  #  include "session/worker.h"\n' >"$work/net/up.cpp"
expect "planted include up" 1 "net/up.cpp:2: net/ does not build on session/"
rm "$work/net/up.cpp"

sed -i 's/^| `net\/` | `base\/` |/| `net\/` | `base\/`, `session\/` |/' "$work/README.md"
expect "README disagrees" 1 'README.md: net/ builds on "base session" there, "base" in tools/check-layers'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
