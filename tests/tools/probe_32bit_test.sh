#!/usr/bin/env bash
# How the test command and the main job decide what to run from the way this
# machine runs 32-bit programs: the probe's decision from its inputs, and the
# three kinds of machine played with a stand-in loader and binfmt_misc folder.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/probe-32bit.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$root/tests/tools/checks.sh"

# starts handler can-register -> kind
while read -r starts handler can kind; do
  check "decide $starts $handler $can" "$kind" "$(decide_32bit "$starts" "$handler" "$can")"
done <<'TABLE'
yes no  no  native
yes no  yes native
yes yes no  emulated
yes yes yes emulated
no  yes no  none
no  yes yes none
no  no  yes register
no  no  no  none
TABLE

# The stand-ins: a loader the kernel refuses, one that runs, and binfmt_misc
# folders without a register file (so nothing is mounted or registered).
printf '#!/bin/sh\necho "$0: cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$work/refused"
printf '#!/bin/sh\nexit 0\n' >"$work/runs"
chmod +x "$work/refused" "$work/runs"
mkdir -p "$work/binfmt-empty" "$work/binfmt-qemu"
printf 'enabled\ninterpreter /usr/bin/qemu-i386-static\nflags: F\noffset 0\nmagic 7f454c4601010100000000000000000002000300\nmask fffffffffffefe00fffffffffffffffffeffffff\n' \
  >"$work/binfmt-qemu/qemu-i386"
export DOVREL_WINE32=$work/runs

machine() {  # machine LOADER BINFMT COMMAND...: runs COMMAND on that kind of machine
  local loader=$1 binfmt=$2; shift 2
  DOVREL_LDSO32=$work/$loader DOVREL_BINFMT_DIR=$work/$binfmt "$@" 2>&1
}

out=$(machine refused binfmt-empty "$root/tools/probe-32bit")
contains "no 32-bit: probe" "none: 32-bit programs do not start here" "$out"
out=$(machine refused binfmt-empty "$root/tools/receive-demo" --plan); rc=$?
check "no 32-bit: demo exit" 0 "$rc"
contains "no 32-bit: demo" "using the 64-bit control" "$out"
out=$(machine refused binfmt-empty "$root/tools/receive-demo" --win32 --plan)
contains "no 32-bit: demo --win32" "using the 64-bit control" "$out"
out=$(machine refused binfmt-empty "$root/tools/test" --plan); rc=$?
check "no 32-bit: test exit" 0 "$rc"
contains "no 32-bit: test" "win32 tests NOT run: this machine cannot run 32-bit programs" "$out"

out=$(machine runs binfmt-qemu "$root/tools/probe-32bit")
contains "emulated: probe" "emulated: " "$out"
out=$(machine runs binfmt-qemu "$root/tools/receive-demo" --plan)
contains "emulated: demo" "using the 64-bit control" "$out"
out=$(machine runs binfmt-qemu "$root/tools/receive-demo" --win32 --plan)
contains "emulated: demo --win32" "using the 32-bit control" "$out"
contains "emulated: demo --win32 is slow" "slow" "$out"
out=$(machine runs binfmt-qemu "$root/tools/test" --plan)
contains "emulated: test" "win32 under emulation: only the tests labelled 'emulated'" "$out"
# A handler that is there but disabled takes nothing.
sed -i 's/^enabled$/disabled/' "$work/binfmt-qemu/qemu-i386"
out=$(machine runs binfmt-qemu "$root/tools/probe-32bit")
contains "disabled handler: probe" "native: " "$out"

out=$(machine runs binfmt-empty "$root/tools/receive-demo" --plan)
contains "native: demo" "using the 32-bit control" "$out"
out=$(machine runs binfmt-empty "$root/tools/test" --plan)
contains "native: test" "win32: every test" "$out"

finish
