#!/usr/bin/env bash
# The browser path end to end: a headless browser loads the extension and a
# page on 127.0.0.1 whose script calls Dovrel.receiveFile; the native host
# receives from the reference server. tests/browser/drive.py runs the cases.
#   browser_test.sh chromium|firefox HOST SERVER ROOT
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/common.sh"
browser=$1 host=$2 server=$3 samples=$4
work=$(mktemp -d)
server_pid=
cleanup() {
  stop_file_server
  rm -rf "$work"
}
trap cleanup EXIT

start_file_server "$server" "$samples" "$work/server.out" "$work/server.err" --trace-requests
port=$(file_server_port "$work/server.out") ||
  { echo "the file server did not start:" >&2; cat "$work/server.err" >&2; exit 1; }
/usr/bin/python3 -B "$root/tests/browser/drive.py" --browser "$browser" --extension "$root/extension" \
  --web "$root/web" --host "$host" --samples "$samples/20261208" --server-port "$port" \
  --server-trace "$work/server.out" --work "$work"
status=$?
if [ $status -ne 0 ]; then
  for log in "$work"/*.err; do echo "== ${log##*/}"; tail -n 20 "$log"; done
fi
exit $status
