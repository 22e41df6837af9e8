#!/usr/bin/env bash
# The receiver through a real TLS terminator: Debian's stunnel4 on 127.0.0.1 in
# front of the reference server, both started and stopped here. Pinned to the
# terminator's certificate and the server's, --tls receives every file byte for
# byte; a terminator the pins do not name gets no request through; --tls
# against the plain server fails clearly and stores nothing; a listener that
# never answers the handshake is given up within the exchange's bound; TLS
# asked for without pins does not start.
#   tls_end_to_end.sh --server SERVER-BINARY --root FOLDER [--wine] -- CLIENT-COMMAND...
set -uo pipefail
. "$(dirname "$0")/receiver_script.sh"
stunnel=${STUNNEL:-/usr/bin/stunnel4}
pids=()
stop_helpers() { local pid; for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done; }
trap 'stop_helpers; stop_file_server; rm -rf "$work"' EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# wait_for FILE PATTERN: until FILE holds a line matching PATTERN (ten seconds).
wait_for() { local _; for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done; return 1; }
elapsed_ms() { echo $((($(date +%s%N) - $1) / 1000000)); }

start_file_server "$server" "$root" "$work/server.out" "$work/server.err" --trace-requests
port=$(file_server_port "$work/server.out") || { echo "the server did not start"; cat "$work/server.err"; exit 1; }

# The terminator's own certificate, as a bank's would be: not the server's.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj /CN=files.bank.example -keyout "$work/tls.key" -out "$work/tls.pem" 2>/dev/null
tls_pin=$(openssl x509 -in "$work/tls.pem" -outform DER | sha256sum | cut -c1-64)
tls_port=$(free_port)
cat >"$work/stunnel.conf" <<CONF
foreground = yes
pid =
debug = 5
[dovrel]
accept = 127.0.0.1:$tls_port
connect = 127.0.0.1:$port
cert = $work/tls.pem
key = $work/tls.key
CONF
"$stunnel" "$work/stunnel.conf" >"$work/stunnel.log" 2>&1 &
pids+=($!)
wait_for "$work/stunnel.log" "Configuration successful" || { echo "stunnel did not start"; cat "$work/stunnel.log"; exit 1; }

# Accepts connections and never says a word.
python3 -c 'import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True); held = []
while True: held.append(s.accept()[0])' >"$work/silent.port" &
pids+=($!)
wait_for "$work/silent.port" "[0-9]" || { echo "the silent listener did not start"; exit 1; }
silent_port=$(cat "$work/silent.port")

server_pin=$(printed_pin certificate)
pinned=(--server-pin "$tls_pin" --server-pin "$server_pin")

check "a terminator the pins do not name" 2 \
  "${client[@]}" list --tls --port "$tls_port" --date $date --server-pin "$server_pin"
grep -q "TLS certificate is not one the pins name" "$work/err" && [ "$(grep -c '^request' "$work/server.out")" -eq 0 ] &&
  pass || { fail "the refused terminator let a request through, or said nothing"; cat "$work/err"; }

check "TLS without pins" 2 "${client[@]}" list --tls --port "$tls_port" --date $date
grep -q "no server pins" "$work/err" && [ "$(grep -c '^request' "$work/server.out")" -eq 0 ] &&
  pass || { fail "TLS without pins was not refused before any request"; cat "$work/err"; }

mkdir "$work/all"
check "receive --all through the terminator" 0 "${client[@]}" receive --tls --port "$tls_port" \
  --date $date "${pinned[@]}" --folder "$(folder_arg "$work/all")" --all
every_file_received "$work/all"
[ "$(requests_of GET)" -eq "$(ls "$root/$date" | wc -l)" ] && pass || fail "not every GET reached the server"

mkdir "$work/plain"
check "TLS against the plain server" 2 "${client[@]}" receive --tls --port "$port" --date $date \
  "${pinned[@]}" --exchange-limit 3000 --folder "$(folder_arg "$work/plain")" --all
grep -q "does it speak TLS" "$work/err" && [ -z "$(ls -A "$work/plain")" ] &&
  pass || { fail "TLS against the plain server stored something or said nothing clear"; cat "$work/err"; }

started=$(date +%s%N)
check "a handshake that never completes" 2 "${client[@]}" list --tls --port "$silent_port" \
  --date $date "${pinned[@]}" --exchange-limit 2000
took=$(elapsed_ms "$started")
# Two seconds of handshake; the rest is the program's start (slow under Wine).
limit=$([ $wine -eq 1 ] && echo 20000 || echo 6000)
grep -q "did not finish in time" "$work/err" && [ "$took" -lt "$limit" ] &&
  pass || { fail "the stalled handshake took ${took} ms"; cat "$work/err"; }

finish
