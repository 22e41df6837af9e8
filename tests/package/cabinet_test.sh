#!/usr/bin/env bash
# The signed cabinet: it holds exactly the signed DLL and the INF, byte for
# byte; the INF has the form Internet Component Download reads, with the
# registration script's class id and the project's version; the DLL's and the
# cabinet's signatures verify against the CA, and a copy with one byte changed
# does not; each installer package's signature verifies too. Without a
# cabinet (the 64-bit build makes none) only the signatures are checked.
#   cabinet_test.sh [--cabinet CAB --inf INF --platform x86 --registration RGS]
#                   --dll DLL --version A.B.C.D [--ca PEM] [--msi MSI]...
set -uo pipefail
ca= cabinet=
msis=()
while [ $# -gt 0 ]; do
  case "$1" in
    --cabinet) cabinet=$2; shift 2 ;;
    --dll) dll=$2; shift 2 ;;
    --inf) inf=$2; shift 2 ;;
    --platform) platform=$2; shift 2 ;;
    --registration) rgs=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --ca) ca=$2; shift 2 ;;
    --msi) msis+=("$2"); shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ -n "$cabinet" ]; then
inf_name=$(basename "$inf")
listing=$(gcab -t "$cabinet" | sort | tr '\n' ' ')
[ "$listing" = "Dovrel.dll $inf_name " ] || fail "the cabinet holds '$listing', not Dovrel.dll and $inf_name"
gcab -x -C "$work" "$cabinet" >/dev/null || fail "gcab -x could not extract $cabinet"
cmp -s "$work/Dovrel.dll" "$dll" || fail "the cabinet's Dovrel.dll differs from the signed $dll"
cmp -s "$work/$inf_name" "$inf" || fail "the cabinet's $inf_name differs from $inf"

# The registration script names one class id.
class_ids=$(grep -o "CLSID = s '{[0-9A-Fa-f-]*}'" "$rgs" | grep -o '{.*}' | sort -u)
[ "$(printf '%s\n' "$class_ids" | wc -l)" = 1 ] || fail "$rgs names the class ids: $class_ids"

# The INF as section|key|value, one line each; any other line is malformed.
parse_inf() {
  tr -d '\r' <"$1" | awk '
    /^[ \t]*(;.*)?$/ { next }
    /^\[[^]]+\]$/ { section = substr($0, 2, length($0) - 2); next }
    section != "" && /^[^=;]+=/ {
      key = $0; sub(/[ \t]*=.*/, "", key)
      value = $0; sub(/^[^=]*=[ \t]*/, "", value)
      print section "|" key "|" value; next
    }
    { print "malformed line " NR ": " $0; bad = 1 }
    END { exit bad }'
}
expected_inf() {
  cat <<TABLE
version|signature|"\$CHICAGO\$"
version|AdvancedINF|2.0
Add.Code|Dovrel.dll|Dovrel.dll
Dovrel.dll|file-win32-$platform|thiscab
Dovrel.dll|clsid|$class_ids
Dovrel.dll|FileVersion|${version//./,}
Dovrel.dll|RegisterServer|yes
TABLE
}
parse_inf "$work/$inf_name" >"$work/inf.parsed" || fail "$inf_name is malformed"
diff <(expected_inf) "$work/inf.parsed" >"$work/inf.diff" || { fail "$inf_name differs from the expected entries"; cat "$work/inf.diff"; }
fi

# Signatures: both verify; one changed byte (in the middle, far from the
# signature at the end) breaks each.
ca_args=()
[ -n "$ca" ] && ca_args=(-CAfile "$ca")
verify() { osslsigncode verify "${ca_args[@]}" -in "$1" >"$work/verify.log" 2>&1; }
flip_middle_byte() {
  cp "$1" "$2"
  perl -e 'open(my $f, "+<", $ARGV[0]) or die; binmode $f; my $at = int((-s $f) / 2);
           seek($f, $at, 0); read($f, my $b, 1); seek($f, $at, 0); print $f chr(ord($b) ^ 0x01);' "$2"
}
for signed in "$dll" ${cabinet:+"$cabinet"}; do
  name=$(basename "$signed")
  if verify "$signed"; then
    echo "$name: $(grep -E '^(Signature verification|Number of verified signatures)' "$work/verify.log" | tr '\n' ' ')"
  else
    fail "osslsigncode verify rejects $name"; cat "$work/verify.log"
  fi
  flip_middle_byte "$signed" "$work/tampered-$name"
  if verify "$work/tampered-$name"; then
    fail "osslsigncode verify accepts $name with one byte changed"
  else
    echo "$name with one byte changed: $(grep -c 'MISMATCH' "$work/verify.log") digest mismatch, rejected"
  fi
done

# The installer's digest leaves parts of its compound file out, so a changed
# byte proves nothing there: only its signature is checked.
for msi in "${msis[@]}"; do
  if verify "$msi"; then
    echo "$(basename "$msi"): $(grep -E '^Signature verification' "$work/verify.log")"
  else
    fail "osslsigncode verify rejects $(basename "$msi")"; cat "$work/verify.log"
  fi
done

[ $failures -eq 0 ] && [ -n "$cabinet" ] && echo "cabinet ok: $(basename "$cabinet") $(stat -c %s "$cabinet") bytes"
exit $((failures > 0))
