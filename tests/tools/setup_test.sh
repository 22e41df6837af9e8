#!/usr/bin/env bash
# The set-up's decisions on a mirror that fails at times, played with a
# stand-in package system (stand-in-apt) on PATH: tools/install-deps itself
# runs, with a cache that already holds the cross-built libcrypto and libssl.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/tools
. "$here/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin"
for tool in apt-get dpkg dpkg-query locale; do ln -s "$here/stand-in-apt" "$work/bin/$tool"; done
for arch in x86_64 i686; do
  mkdir -p "$work/cache/openssl-$arch/lib" && touch "$work/cache/openssl-$arch/lib/"{libcrypto,libssl}.a
done
# setup CASE [FILE=LINE...]: a machine with every package but those in its
# "missing" file, and LINE added to each state file named (stand-in-apt); runs
# install-deps there with the arguments in deps_args, setting out, rc, calls.
deps_args=()
setup() {
  local case=$1; shift
  APT_STATE=$work/$case
  mkdir -p "$APT_STATE"
  local file; for file in "$@"; do echo "${file#*=}" >>"$APT_STATE/${file%%=*}"; done
  out=$(APT_STATE=$APT_STATE PATH=$work/bin:$PATH DOVREL_CACHE=$work/cache DOVREL_APT_PAUSE=0 \
    "$root/tools/install-deps" "${deps_args[@]}" 2>&1)
  rc=$?
  calls=$(cat "$APT_STATE/calls")
}
updates() { grep -c '^apt-get update' <<<"$calls"; }

setup nothing-missing
check "nothing missing: exit" 0 "$rc"
check "nothing missing: updates" 0 "$(updates)"
lacks "nothing missing: installs" "apt-get install" "$calls"

setup index-mid-sync missing=wine missing=wine32:i386 broken-index=yes
check "index mid-sync: exit" 0 "$rc"
check "index mid-sync: updates tried" 3 "$(updates)"
contains "index mid-sync: says so" "going on with what was fetched" "$out"
check "index mid-sync: installed" 1 "$(grep -cx wine "$APT_STATE/installed")"
contains "index mid-sync: 32-bit Wine" "wine32:i386" "$(cat "$APT_STATE/installed")"
check "index mid-sync: i386 kept" i386 "$(cat "$APT_STATE/architectures")"

setup no-wine32 missing=wine32:i386 broken-index=yes unavailable=wine32:i386
check "no 32-bit Wine: exit" 0 "$rc"
contains "no 32-bit Wine: the line" "32-bit Wine (wine32:i386) not installed: E: Unable to correct problems" "$out"
contains "no 32-bit Wine: added i386" "dpkg --add-architecture i386" "$calls"
check "no 32-bit Wine: i386 removed" "" "$(cat "$APT_STATE/architectures")"
check "no 32-bit Wine: one update run" 3 "$(updates)"

setup i386-there missing=wine32:i386 unavailable=wine32:i386 architectures=i386
check "i386 there before: exit" 0 "$rc"
check "i386 there before: kept" i386 "$(cat "$APT_STATE/architectures")"

setup required-unavailable missing=cmake missing=wixl unavailable=wixl
check "required unavailable: exit" 1 "$rc"
contains "required unavailable: named" "cannot install wixl: E: Unable to correct problems" "$out"
contains "required unavailable: the rest installed" "cmake" "$(cat "$APT_STATE/installed")"

deps_args=(--native)
setup native-only missing=cmake broken-index=yes
check "native: exit" 0 "$rc"
lacks "native: no i386" "add-architecture" "$calls"

finish
