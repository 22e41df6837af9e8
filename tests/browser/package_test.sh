#!/usr/bin/env bash
# The browser path's packages: the extension's zip and xpi (the pages the
# content script runs on, from the build's site list) and the host's Debian
# package (where each file lands, the ids each manifest allows).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/tools/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=1.0.0.1

# pack SITES: packs the extension with the site list SITES; sets rc and matches.
pack() {
  rm -f "$work/e.zip" "$work/e.xpi"
  cmake -DSOURCE="$root/extension" -DSTAGE="$work/stage" -DZIP="$work/e.zip" -DXPI="$work/e.xpi" \
    -DVERSION="$version" "-DSITES=$1" -P "$root/package/browser/ExtensionPackage.cmake" >"$work/pack.out" 2>&1
  rc=$?
  matches=$( [ $rc -eq 0 ] && unzip -p "$work/e.zip" manifest.json | jq -c '.content_scripts[0].matches')
}

while IFS='|' read -r sites expected; do
  pack "$sites"
  check "sites \"$sites\"" "$expected" "$matches"
done <<'TABLE'
bank.example,*.bank.example|["https://bank.example/*","https://*.bank.example/*"]
HTTP://Intranet.Bank.example  https://a_b.example|["http://intranet.bank.example/*","https://a_b.example/*"]
*|["https://*/*"]
|["https://bank.example/*","https://*.bank.example/*","http://127.0.0.1/*","http://localhost/*"]
TABLE

for refused in "bank.example/evil" "javascript:x" ", ,"; do
  pack "$refused"
  check "sites \"$refused\" refused" 1 "$rc"
done

pack ""
check "zip: the extension's files" "background.js content.js manifest.json" \
  "$(unzip -Z1 "$work/e.zip" | sort | xargs)"
check "xpi: the same files" "" "$(cmp "$work/e.zip" "$work/e.xpi")"
check "the manifest keeps its key" "$(jq -r .key "$root/extension/manifest.json")" "$(unzip -p "$work/e.zip" manifest.json | jq -r .key)"
sed 's/"version": "[^"]*"/"version": "9.9.9.9"/' "$root/extension/manifest.json" >"$work/manifest.json"
mkdir -p "$work/other" && cp "$root"/extension/*.js "$work/manifest.json" "$work/other/"
cmake -DSOURCE="$work/other" -DSTAGE="$work/stage" -DZIP="$work/o.zip" -DXPI="$work/o.xpi" \
  -DVERSION="$version" -P "$root/package/browser/ExtensionPackage.cmake" >"$work/pack.out" 2>&1
check "a manifest of another version is refused" 1 $?

# The host's package, with a stand-in program and manifests.
cp /bin/true "$work/dovrel-host"
for browser in chrome firefox; do
  printf '{"path": "/usr/lib/dovrel/dovrel-host", "browser": "%s"}\n' "$browser" >"$work/$browser.json"
done
bash "$root/package/browser/build-deb.sh" "$work/dovrel-host" "$version" "$work/chrome.json" "$work/firefox.json" "$work/host.deb"
check "deb: built" 0 $?
contains "deb: the program, executable" "-rwxr-xr-x ./usr/lib/dovrel/dovrel-host" \
  "$(dpkg-deb -c "$work/host.deb" | awk '$1 !~ /^d/ {print $1, $6}')"
landed() { dpkg-deb --fsys-tarfile "$work/host.deb" | tar -xO "./$1/kr.dovrel.receiver.json" | jq -r .browser; }
check "deb: Chromium's manifest" chrome "$(landed etc/chromium/native-messaging-hosts)"
check "deb: Google Chrome's manifest" chrome "$(landed etc/opt/chrome/native-messaging-hosts)"
check "deb: Firefox's manifest" firefox "$(landed usr/lib/mozilla/native-messaging-hosts)"
check "deb: the version" "$version" "$(dpkg-deb -f "$work/host.deb" Version)"
contains "deb: the C library it links" "libc6" "$(dpkg-deb -f "$work/host.deb" Depends)"
echo '{"path": "/opt/elsewhere"}' >"$work/elsewhere.json"
bash "$root/package/browser/build-deb.sh" "$work/dovrel-host" "$version" "$work/chrome.json" "$work/elsewhere.json" \
  "$work/bad.deb" 2>/dev/null
check "deb: a manifest naming another program is refused" 1 $?

finish
