# shellcheck shell=bash
# What the receiver's end-to-end scripts share: their arguments, the receive
# folder as the receiver sees it, and one checked run. Sourced, not run.
#   SCRIPT --server SERVER-BINARY --root FOLDER [--wine] -- CLIENT-COMMAND...
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
wine=0
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server=$2; shift 2 ;;
    --root) root=$2; shift 2 ;;
    --wine) wine=1; shift ;;
    --) shift; break ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
# shellcheck disable=SC2034  # the sourcing script runs it
client=("$@")
date=20261208
work=$(mktemp -d)

# The receiver under Wine sees the Unix file system as drive Z:.
folder_arg() { if [ $wine -eq 1 ]; then echo "Z:$1"; else echo "$1"; fi; }

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; cat "$work/err" 2>/dev/null; }
check() {  # check DESCRIPTION EXPECTED-EXIT COMMAND...
  local what=$1 expected=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" -eq "$expected" ]; then pass; else
    fail "$what: exit $got, expected $expected"
    cat "$work/out" "$work/err"
  fi
}
# The server prints "certificate SHA-256: ..." and "public key SHA-256: ...".
printed_pin() { sed -n "s/^$1 SHA-256: //p" "$work/server.out"; }
requests_of() { grep -c "^request $1\$" "$work/server.out"; }
# every_file_received FOLDER: each of the date's files, as the receiver stores it.
every_file_received() {
  local source name
  for source in "$root/$date"/*; do
    name=$(basename "$source")
    as_received "$source" "$work/expected"
    if cmp -s "$work/expected" "$1/$name"; then pass; else fail "$name differs from the server's copy"; fi
  done
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
