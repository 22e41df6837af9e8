#!/usr/bin/env bash
# The set-up's decisions on a mirror that fails at times, played with a
# stand-in package system (stand-in-apt) on PATH: tools/install-deps itself
# runs, with a cache that already holds the cross-built libcrypto.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/tools
. "$here/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin"
for tool in apt-get dpkg dpkg-query locale; do ln -s "$here/stand-in-apt" "$work/bin/$tool"; done
for arch in x86_64 i686; do
  mkdir -p "$work/cache/openssl-$arch/lib" && touch "$work/cache/openssl-$arch/lib/libcrypto.a"
done
# Every package install-deps asks for, as a fully set-up machine has them.
every_package=$(sed -n '/^packages=(/,/^fi$/p' "$root/tools/install-deps" |
  grep -v -e '^ *#' -e '^packages=(' -e '^fi$' -e 'prepare_wine32' | sed 's/#.*//; s/packages+=(//; s/[()]//g' | tr -s ' ' '\n' | grep -v '^$')

# setup CASE DROP [FILE=LINE...]: a machine with every package but those the
# grep pattern DROP matches, and LINE added to each state file named; runs
# install-deps there with the arguments in deps_args, setting out, rc, calls.
deps_args=()
setup() {
  local case=$1 drop=${2:-^$}; shift 2
  APT_STATE=$work/$case
  mkdir -p "$APT_STATE"
  echo "$every_package" | grep -v -e "$drop" >"$APT_STATE/installed"
  local file; for file in "$@"; do echo "${file#*=}" >>"$APT_STATE/${file%%=*}"; done
  out=$(APT_STATE=$APT_STATE PATH=$work/bin:$PATH DOVREL_CACHE=$work/cache DOVREL_APT_PAUSE=0 \
    "$root/tools/install-deps" "${deps_args[@]}" 2>&1)
  rc=$?
  calls=$(cat "$APT_STATE/calls")
}
updates() { grep -c '^apt-get update' <<<"$calls"; }

setup nothing-missing '' 'installed=wine32:i386'
check "nothing missing: exit" 0 "$rc"
check "nothing missing: updates" 0 "$(updates)"
lacks "nothing missing: installs" "apt-get install" "$calls"

setup index-mid-sync '^wine$' broken-index=yes
check "index mid-sync: exit" 0 "$rc"
check "index mid-sync: updates tried" 3 "$(updates)"
contains "index mid-sync: says so" "going on with what was fetched" "$out"
contains "index mid-sync: installed" "wine" "$(cat "$APT_STATE/installed")"
contains "index mid-sync: 32-bit Wine" "wine32:i386" "$(cat "$APT_STATE/installed")"
check "index mid-sync: i386 kept" i386 "$(cat "$APT_STATE/architectures")"

setup no-wine32 '' broken-index=yes unavailable=wine32:i386
check "no 32-bit Wine: exit" 0 "$rc"
contains "no 32-bit Wine: the line" "32-bit Wine (wine32:i386) not installed: E: Unable to correct problems" "$out"
contains "no 32-bit Wine: added i386" "dpkg --add-architecture i386" "$calls"
check "no 32-bit Wine: i386 removed" "" "$(cat "$APT_STATE/architectures")"
check "no 32-bit Wine: one update run" 3 "$(updates)"

setup i386-there '' unavailable=wine32:i386 architectures=i386
check "i386 there before: exit" 0 "$rc"
check "i386 there before: kept" i386 "$(cat "$APT_STATE/architectures")"

setup required-unavailable '^cmake$\|^wixl$' unavailable=wixl installed=wine32:i386
check "required unavailable: exit" 1 "$rc"
contains "required unavailable: named" "cannot install wixl: E: Unable to correct problems" "$out"
contains "required unavailable: the rest installed" "cmake" "$(cat "$APT_STATE/installed")"

deps_args=(--native)
setup native-only '^cmake$' broken-index=yes
check "native: exit" 0 "$rc"
lacks "native: no i386" "add-architecture" "$calls"

finish
