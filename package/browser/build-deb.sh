#!/usr/bin/env bash
# Builds the Debian package of the native host: the program in /usr/lib/dovrel/
# and its native messaging manifest where Chromium, Google Chrome and Firefox
# look for a system's hosts. The manifests name the extension ids the host
# itself was built to accept.
#   build-deb.sh HOST VERSION IDS OUT.deb
#     IDS: ';'- or ','-separated "chrome-extension://<32 letters a-p>/" origins and Firefox add-on ids
set -euo pipefail
host=$1 version=$2 ids=$3 out=$4
name=kr.dovrel.receiver
installed=/usr/lib/dovrel/dovrel-host

chrome=() firefox=()
IFS=';,' read -ra entries <<<"$ids"
for id in "${entries[@]}"; do
  if [[ $id =~ ^chrome-extension://[a-p]{32}/$ ]]; then chrome+=("\"$id\"")
  elif [[ $id =~ ^[A-Za-z0-9._@{}-]+$ ]]; then firefox+=("\"$id\"")
  elif [ -n "$id" ]; then echo "build-deb.sh: \"$id\" is not an extension id" >&2; exit 1
  fi
done
joined() { local IFS=,; echo "$*"; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
install -D -m 0755 "$host" "$root$installed"
# manifest DIR FIELD IDS...: the host's manifest in DIR, allowing IDS by FIELD.
manifest() {
  local dir=$1 field=$2; shift 2
  install -d -m 0755 "$root$dir"
  printf '{\n  "name": "%s",\n  "description": "Dovrel receiver",\n  "path": "%s",\n  "type": "stdio",\n  "%s": [%s]\n}\n' \
    "$name" "$installed" "$field" "$(joined "$@")" >"$root$dir/$name.json"
  chmod 0644 "$root$dir/$name.json"
}
manifest /etc/chromium/native-messaging-hosts allowed_origins "${chrome[@]}"
manifest /etc/opt/chrome/native-messaging-hosts allowed_origins "${chrome[@]}"
manifest /usr/lib/mozilla/native-messaging-hosts allowed_extensions "${firefox[@]}"

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
