#!/usr/bin/env bash
# The receiver end to end against the reference server on 127.0.0.1: it lists
# a date, receives every file byte for byte (text files with CR LF), and tells
# partial failure, server errors and bad usage apart by its exit code; pinned
# to the fingerprints the server prints, it receives, and pinned to another
# certificate it stops before the key exchange sends anything.
#   end_to_end.sh --server SERVER-BINARY --root FOLDER [--wine] -- CLIENT-COMMAND...
set -uo pipefail
. "$(dirname "$0")/receiver_script.sh"
trap 'stop_file_server; rm -rf "$work"' EXIT

start_file_server "$server" "$root" "$work/server.out" "$work/server.err" --trace-requests
port=$(file_server_port "$work/server.out") || { echo "the server did not start"; cat "$work/server.err"; exit 1; }

check "list the sample date" 0 "${client[@]}" list --port "$port" --date $date
expected=$(cd "$root/$date" && ls | LC_ALL=C sort)
got=$(tr -d '\r' <"$work/out" | LC_ALL=C sort)
if [ "$got" = "$expected" ]; then passed=$((passed + 1)); else
  failed=$((failed + 1)); echo "FAILED: listed names differ:"; echo "$got"; fi

mkdir "$work/all"
check "receive --all" 0 "${client[@]}" receive --port "$port" --date $date --folder "$(folder_arg "$work/all")" --all
every_file_received "$work/all"

mkdir "$work/some"
check "a Korean name given on the command line" 0 \
  "${client[@]}" receive --port "$port" --date $date --folder "$(folder_arg "$work/some")" 107자료.txt
check "one name the server does not have" 1 \
  "${client[@]}" receive --port "$port" --date $date --folder "$(folder_arg "$work/some")" 107a.txt not-there.txt
[ -f "$work/some/107a.txt" ] && [ ! -e "$work/some/not-there.txt" ] && passed=$((passed + 1)) ||
  { failed=$((failed + 1)); echo "FAILED: partial receive left the wrong files"; }
check "a name that would leave the folder" 1 \
  "${client[@]}" receive --port "$port" --date $date --folder "$(folder_arg "$work/some")" ../107a.txt
[ ! -e "$work/107a.txt" ] && passed=$((passed + 1)) ||
  { failed=$((failed + 1)); echo "FAILED: a file was written outside the receive folder"; }
mkdir "$work/pinned"
for kind in certificate "public key"; do
  check "a receive pinned to the server's $kind" 0 "${client[@]}" receive --port "$port" \
    --date $date --folder "$(folder_arg "$work/pinned")" --server-pin "$(printed_pin "$kind")" 107a.txt
done
inits=$(requests_of INIT)
keyexchanges=$(requests_of KEYEXCHG)
check "a receive pinned to another certificate" 2 "${client[@]}" receive --port "$port" \
  --date $date --folder "$(folder_arg "$work/pinned")" --server-pin "$(printf '%064d' 1)" 107a.txt
if grep -q "secure session could not be opened" "$work/err" &&
  [ "$(requests_of INIT)" -eq $((inits + 1)) ] &&
  [ "$(requests_of KEYEXCHG)" -eq "$keyexchanges" ]; then passed=$((passed + 1)); else
  failed=$((failed + 1)); echo "FAILED: the refused server was sent more than INIT"; cat "$work/err"; fi
check "a date without files" 2 "${client[@]}" list --port "$port" --date 19990101
stop_file_server
check "no server" 2 "${client[@]}" list --port "$port" --date $date
check "a receive folder that does not exist" 3 \
  "${client[@]}" receive --port "$port" --folder "$(folder_arg "$work/missing")" --all
check "receive without a folder" 64 "${client[@]}" receive --port "$port" --all
check "an unknown option" 64 "${client[@]}" list --colour

finish
