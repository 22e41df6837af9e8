#!/usr/bin/env bash
# Runs the receiver against the reference server once per row of the hostile
# matrix (matrix.txt beside this script) and checks each outcome: the exit
# code, the files received, the state of the file that was there before,
# nothing written outside the receive folder, no sanitizer report, the text
# the receiver shows, and the time bound.
#   matrix.sh --server SERVER-BINARY --root FOLDER [--wine] [--only PATTERN]
#             [--start-seconds N] -- CLIENT-COMMAND...
# --start-seconds adds N seconds to every row's time bound for starting the
# receiver (under emulation a 32-bit program's start takes about a minute).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$(dirname "$0")/../../tools/lib/common.sh"
wine=0 only= start_seconds=0
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server=$2; shift 2 ;;
    --root) root=$2; shift 2 ;;
    --wine) wine=1; shift ;;
    --only) only=$2; shift 2 ;;
    --start-seconds) start_seconds=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
client=("$@")
default_date=20261201
old_contents='the copy that was here before'

work=$(mktemp -d)
trap 'stop_file_server; rm -rf "$work"' EXIT

# The receiver under Wine sees the Unix file system as drive Z:.
folder_arg() { if [ $wine -eq 1 ]; then echo "Z:$1"; else echo "$1"; fi; }

passed=0 failed=0
fail() { failed=$((failed + 1)); echo "FAILED: $row: $*"; problems=1; }

while IFS='|' read -r row arguments date exit_code received old seconds text receiver; do
  case "$row" in ''|'#'*) continue ;; esac
  [ -n "$only" ] && ! [[ $row =~ ^($only)$ ]] && continue
  problems=0
  date=${date:-$default_date}
  # shellcheck disable=SC2086  # the row's switches
  start_file_server "$server" "$root" "$work/server.out" "$work/server.err" $arguments
  if ! port=$(file_server_port "$work/server.out"); then fail "the server did not start"; cat "$work/server.err"; continue; fi
  rm -rf "$work/run"
  mkdir -p "$work/run/folder"
  printf '%s' "$old_contents" >"$work/run/folder/107old.txt"
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  "${client[@]}" receive --port "$port" --date "$date" --folder "$(folder_arg "$work/run/folder")" --all \
    $receiver >"$work/out" 2>"$work/err" </dev/null
  got=$?
  elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  stop_file_server
  output=$(cat "$work/out" "$work/err" | tr -d '\r')

  [ "$got" -eq "$exit_code" ] || fail "exit $got, expected $exit_code"
  count=$(grep -c '^received ' "$work/out")
  [ "$count" -eq "$received" ] || fail "$count files received, expected $received"
  seconds=$((seconds + start_seconds))
  [ "$elapsed_ms" -le $((seconds * 1000)) ] || fail "took ${elapsed_ms} ms, more than $seconds s"
  if grep -q 'AddressSanitizer\|runtime error:\|LeakSanitizer' "$work/err"; then fail "sanitizer report"; fi
  if [ -n "$text" ] && ! grep -qF -- "$text" <<<"$output"; then fail "the output lacks \"$text\""; fi
  # Nothing but the receive folder in the run folder, nothing but plain files in it.
  outside=$(cd "$work/run" && find . -mindepth 1 -not -path './folder' -not -path './folder/*')
  [ -z "$outside" ] || fail "written outside the receive folder: $outside"
  strays=$(cd "$work/run/folder" && find . -mindepth 1 \( -type d -o -name '*.part' -o -name '*.tmp' -o -name '.*' \))
  [ -z "$strays" ] || fail "left behind in the receive folder: $strays"
  case "$old" in
    keep) [ "$(cat "$work/run/folder/107old.txt")" = "$old_contents" ] || fail "107old.txt was damaged" ;;
    server) as_received "$root/$date/107old.txt" "$work/expected"
            cmp -s "$work/expected" "$work/run/folder/107old.txt" || fail "107old.txt is not the server's copy" ;;
    =*) printf "${old#=}" >"$work/expected"
        cmp -s "$work/expected" "$work/run/folder/107old.txt" || fail "107old.txt does not hold ${old#=}" ;;
  esac
  if [ $problems -eq 0 ]; then passed=$((passed + 1)); else
    sed 's/^/    /' "$work/out" "$work/err" | head -n 20
    sed 's/^/    server: /' "$work/server.err" | head -n 5; fi
done <"$here/matrix.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
