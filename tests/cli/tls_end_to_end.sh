#!/usr/bin/env bash
# The receiver through a real TLS terminator: Debian's stunnel4 on 127.0.0.1 in
# front of the reference server, both started and stopped here. Pinned to the
# terminator's certificate and the server's, --tls receives every file byte for
# byte; a terminator the pins do not name gets no request through; --tls
# against the plain server fails clearly and stores nothing; a listener that
# never answers the handshake is given up within the exchange's bound; TLS
# asked for without pins does not start; Cancel ends a stalled TLS read.
#   tls_end_to_end.sh --server SERVER-BINARY --root FOLDER [--wine] -- CLIENT-COMMAND...
set -uo pipefail
. "$(dirname "$0")/receiver_script.sh"
silent_pid=
trap 'stop_started "$silent_pid"; stop_tls_terminator; stop_file_server; rm -rf "$work"' EXIT

said() { grep -q "$1" "$work/err"; }
no_request() { ! grep -q '^request' "$work/server.out"; }
elapsed_ms() { echo $((($(date +%s%N) - $1) / 1000000)); }

start_file_server "$server" "$root" "$work/server.out" "$work/server.err" --trace-requests
port=$(file_server_port "$work/server.out") || { echo "the server did not start"; cat "$work/server.err"; exit 1; }
start_tls_terminator "$work" "$port" || { echo "stunnel did not start"; exit 1; }

# Accepts connections and never says a word.
python3 -c 'import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True); held = []
while True: held.append(s.accept()[0])' >"$work/silent.port" &
silent_pid=$!
for _ in $(seq 100); do [ -s "$work/silent.port" ] && break; sleep 0.1; done
silent_port=$(cat "$work/silent.port")
[ -n "$silent_port" ] || { echo "the silent listener did not start"; exit 1; }

server_pin=$(printed_pin certificate)
pinned=(--server-pin "$tls_pin" --server-pin "$server_pin")

check "a terminator the pins do not name" 2 \
  "${client[@]}" list --tls --port "$tls_port" --date $date --server-pin "$server_pin"
if said "TLS certificate is not one the pins name" && no_request; then pass; else
  fail "the refused terminator let a request through, or said nothing"; fi

check "TLS without pins" 2 "${client[@]}" list --tls --port "$tls_port" --date $date
if said "no server pins" && no_request; then pass; else
  fail "TLS without pins was not refused before any request"; fi

mkdir "$work/all"
check "receive --all through the terminator" 0 "${client[@]}" receive --tls --port "$tls_port" \
  --date $date "${pinned[@]}" --folder "$(folder_arg "$work/all")" --all
every_file_received "$work/all"
files=("$root/$date"/*)
if [ "$(requests_of GET)" -eq ${#files[@]} ]; then pass; else fail "not every GET reached the server"; fi

mkdir "$work/plain"
check "TLS against the plain server" 2 "${client[@]}" receive --tls --port "$port" --date $date \
  "${pinned[@]}" --exchange-limit 3000 --folder "$(folder_arg "$work/plain")" --all
if said "does it speak TLS" && [ -z "$(ls -A "$work/plain")" ]; then pass; else
  fail "TLS against the plain server stored something or said nothing clear"; fi

started=$(date +%s%N)
check "a handshake that never completes" 2 "${client[@]}" list --tls --port "$silent_port" \
  --date $date "${pinned[@]}" --exchange-limit 2000
took=$(elapsed_ms "$started")
# Two seconds of handshake; the rest is the program's start (slow under Wine).
limit=$([ $wine -eq 1 ] && echo 20000 || echo 6000)
if said "did not finish in time" && [ "$took" -lt "$limit" ]; then pass; else
  fail "the stalled handshake took ${took} ms"; fi

# A reply that stops halfway, behind a terminator of its own: Cancel ends the
# TLS read as it ends a plain one, well before the 10 s read time-out.
stop_tls_terminator
stop_file_server
start_file_server "$server" "$root" "$work/server.out" "$work/server.err" --fault GET:stall:100
port=$(file_server_port "$work/server.out") || { echo "the stalling server did not start"; exit 1; }
start_tls_terminator "$work" "$port" || { echo "stunnel did not start"; exit 1; }
mkdir "$work/cancelled"
started=$(date +%s%N)
check "a cancel during a stalled TLS read" 1 "${client[@]}" receive --tls --port "$tls_port" \
  --date $date --server-pin "$tls_pin" --server-pin "$(printed_pin certificate)" \
  --cancel-after 1000 --folder "$(folder_arg "$work/cancelled")" 107a.txt
took=$(elapsed_ms "$started")
limit=$([ $wine -eq 1 ] && echo 9000 || echo 5000)
if said "cancelled" && [ "$took" -lt "$limit" ] && [ -z "$(ls -A "$work/cancelled")" ]; then pass; else
  fail "the cancel took ${took} ms, or left a file"; fi

finish
