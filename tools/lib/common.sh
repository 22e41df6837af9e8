# shellcheck shell=bash
# Sourced: what the commands in tools/, bench/ and the test scripts share.
#   the reference file server    start_file_server, file_server_port, stop_file_server
#   a TLS terminator (stunnel4)  start_tls_terminator, stop_tls_terminator
#   a private X server           start_xvfb, stop_xvfb
#   Wine                         shared_wine_prefix, wine_environment, windows_path, stop_wine
#   received files               as_received
# Each start leaves its process id for the caller, whose clean-up stops only
# what it started, by that id. The stops succeed whether or not the process was
# still there, so that a clean-up under set -e goes on to its end.

# What is made once per machine: libcrypto for Windows, the shared Wine prefix.
dovrel_cache=${DOVREL_CACHE:-/var/cache/dovrel}

# start_file_server SERVER ROOT OUT ERR [ARGUMENTS...]: starts the reference
# server SERVER in the background on a free port, serving ROOT, with its output
# in OUT and its errors in ERR; sets server_pid.
start_file_server() {
  local server=$1 root=$2 out=$3 err=$4
  shift 4
  # The last server's output goes first: until the new one has opened OUT, its
  # port would be read from the old one's.
  rm -f "$out"
  "$server" --root "$root" --port 0 "$@" >"$out" 2>"$err" </dev/null &
  server_pid=$!
}

# file_server_port OUT: prints the port of the server writing OUT once it
# accepts connections (it prints "listening on ADDRESS:PORT"); fails when it has
# not within ten seconds.
file_server_port() {
  local port _
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$1" 2>/dev/null || true)
    [ -n "$port" ] && { echo "$port"; return 0; }
    sleep 0.1
  done
  return 1
}

# stop_started PID: stops a process this shell started, by its id, and waits
# for it; nothing for an empty id.
stop_started() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# stop_file_server: stops the server start_file_server started last.
stop_file_server() { stop_started "${server_pid:-}"; server_pid=; }

# start_tls_terminator DIR BACKEND-PORT: Debian's stunnel4 on a free port of
# 127.0.0.1 in front of BACKEND-PORT, with a self-signed certificate of its own
# made in DIR (a bank's terminator has its own, not the file server's); sets
# tls_port, tls_pin (the SHA-256 of the certificate's DER) and stunnel_pid once
# it accepts connections; fails when it has not within ten seconds.
start_tls_terminator() {
  local dir=$1 backend=$2 _
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
    -subj /CN=files.bank.example -keyout "$dir/tls.key" -out "$dir/tls.pem" 2>/dev/null || return 1
  # shellcheck disable=SC2034  # for the caller, with tls_port
  tls_pin=$(openssl x509 -in "$dir/tls.pem" -outform DER | sha256sum | cut -c1-64)
  tls_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf '%s\n' "foreground = yes" "pid =" "debug = 5" "[dovrel]" "accept = 127.0.0.1:$tls_port" \
    "connect = 127.0.0.1:$backend" "cert = $dir/tls.pem" "key = $dir/tls.key" >"$dir/stunnel.conf"
  /usr/bin/stunnel4 "$dir/stunnel.conf" >"$dir/stunnel.log" 2>&1 &
  stunnel_pid=$!
  for _ in $(seq 100); do
    grep -q "Configuration successful" "$dir/stunnel.log" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$dir/stunnel.log" >&2
  return 1
}

# stop_tls_terminator: stops the stunnel start_tls_terminator started.
stop_tls_terminator() { stop_started "${stunnel_pid:-}"; stunnel_pid=; }

# start_xvfb SIZE: starts an X server of its own on a free display, with one
# screen of SIZE (WIDTHxHEIGHTxDEPTH), and exports DISPLAY once it accepts
# clients; sets xvfb_pid. Fails when it has not started within ten seconds.
start_xvfb() {
  local number_file number='' _
  number_file=$(mktemp) || return 1
  # Xvfb picks the display and writes its number when it is ready.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    number=$(cat "$number_file")
    [ -n "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  [ -n "$number" ] || return 1
  export DISPLAY=:$number
}

# stop_xvfb: stops the X server start_xvfb started.
stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=
}

# shared_wine_prefix: exports WINEPREFIX, the prefix every command shares
# unless the caller named another.
shared_wine_prefix() { export WINEPREFIX=${WINEPREFIX:-$dovrel_cache/wineprefix}; }

# wine_environment [LOCALE]: exports what Wine runs with here: the shared
# prefix, no debug output, no offer to install Mono or Gecko (each unless the
# caller set it), and LOCALE (default ko_KR.UTF-8, whose ANSI code page is 949).
# shellcheck disable=SC2120  # most callers want the default
wine_environment() {
  local locale=${1:-ko_KR.UTF-8}
  export LC_ALL=$locale LANG=$locale
  shared_wine_prefix
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# windows_path PATH: PATH as a Windows program under Wine sees it, on drive Z:.
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

# stop_wine PREFIX: ends the wineserver of PREFIX and every program in it.
stop_wine() { WINEPREFIX=$1 wineserver -k 2>/dev/null || true; }

# as_received SOURCE OUT: writes SOURCE to OUT as the receiver saves it: text
# files (.txt, .rst) with CR LF line ends, any other byte for byte.
as_received() {
  local name=${1##*/}
  case "${name,,}" in
    *.txt|*.rst) perl -pe 's/\n/\r\n/g' "$1" >"$2" ;;
    *) cp "$1" "$2" ;;
  esac
}
