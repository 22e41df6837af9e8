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
server_pid='' servers=() port='' stalling_port=''
cleanup() {
  for server_pid in "${servers[@]}"; do stop_file_server; done
  rm -rf "$work"
}
trap cleanup EXIT

# serve NAME VARIABLE [ARGUMENT...]: a reference server tracing its requests
# into $work/NAME.out; sets VARIABLE to its port.
serve() {
  local name=$1 variable=$2 listening; shift 2
  start_file_server "$server" "$samples" "$work/$name.out" "$work/$name.err" --trace-requests "$@"
  servers+=("$server_pid")
  listening=$(file_server_port "$work/$name.out") ||
    { echo "the file server did not start:" >&2; cat "$work/$name.err" >&2; exit 1; }
  printf -v "$variable" %s "$listening"
}
serve server port
# One that sends part of each file and then holds it back: a page can leave mid-transfer.
serve stalling stalling_port --fault GET:stall:30000
/usr/bin/python3 -B "$root/tests/browser/drive.py" --browser "$browser" --extension "$root/extension" \
  --web "$root/web" --host "$host" --samples "$samples/20261208" --server-port "$port" \
  --server-trace "$work/server.out" --stalling-port "$stalling_port" --stalling-trace "$work/stalling.out" \
  --work "$work"
status=$?
if [ $status -ne 0 ]; then
  for log in "$work"/*.err; do echo "== ${log##*/}"; tail -n 20 "$log"; done
fi
exit $status
