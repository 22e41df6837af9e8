#!/usr/bin/env bash
# Builds the Debian package of the native host: the program in /usr/lib/dovrel/
# and its native messaging manifests (the host's build writes them, naming the
# extensions it accepts) where Chromium, Google Chrome and Firefox look for a
# system's hosts.
#   build-deb.sh HOST VERSION CHROME-MANIFEST FIREFOX-MANIFEST OUT.deb
set -euo pipefail
host=$1 version=$2 chrome=$3 firefox=$4 out=$5
name=kr.dovrel.receiver
installed=/usr/lib/dovrel/dovrel-host
for manifest in "$chrome" "$firefox"; do
  grep -qF "\"$installed\"" "$manifest" ||
    { echo "build-deb.sh: $manifest does not name $installed" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
install -D -m 0755 "$host" "$root$installed"
install -D -m 0644 "$chrome" "$root/etc/chromium/native-messaging-hosts/$name.json"
install -D -m 0644 "$chrome" "$root/etc/opt/chrome/native-messaging-hosts/$name.json"
install -D -m 0644 "$firefox" "$root/usr/lib/mozilla/native-messaging-hosts/$name.json"

# The libraries the program links, as dpkg-shlibdeps names their packages.
mkdir -p "$stage/debian"
printf 'Source: dovrel\n\nPackage: dovrel-host\nArchitecture: any\n' >"$stage/debian/control"
depends=$(cd "$stage" && dpkg-shlibdeps -O -e "$root$installed" 2>"$stage/shlibdeps.err" | sed -n 's/^shlibs:Depends=//p') ||
  { cat "$stage/shlibdeps.err" >&2; exit 1; }
install -d "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: dovrel-host
Version: $version
Architecture: $(dpkg --print-architecture)
Maintainer: Dovrel <dovrel@dovrel.kr>
Depends: $depends
Section: web
Priority: optional
Description: Dovrel receiver for Chrome, Edge and Firefox
 The native messaging host through which the Dovrel browser extension
 receives a bank's files into the user's receive folder.
CONTROL
dpkg-deb --root-owner-group --build "$root" "$out" >/dev/null
