#!/usr/bin/env bash
# The one version number everywhere it is written: each source below must read
# as the project's version (A.B.C.D; "1,0,0,1" and "1, 0, 0, 1" read as 1.0.0.1).
#   version_test.sh --version A.B.C.D --dll DLL [--inf INF] --page HTML --msi MSI [--msi MSI...]
#                   -- DOVREL-COMMAND...
set -uo pipefail
msis=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version) expected=$2; shift 2 ;;
    --dll) dll=$2; shift 2 ;;
    --inf) inf=$2; shift 2 ;;
    --page) page=$2; shift 2 ;;
    --msi) msis+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
dovrel=("$@")
[ ${#msis[@]} -gt 0 ] || { echo "no --msi given" >&2; exit 2; }

# The version resource of a PE file: VS_FIXEDFILEINFO after its signature
# 0xFEEF04BD (struct version, then file and product version, each MS and LS
# words), and the UTF-16 strings of StringFileInfo. One line per field.
pe_versions() {
  perl -0777 -ne '
    my @fixed = /\xBD\x04\xEF\xFE.{4}(.{16})/sg;
    die "expected one VS_FIXEDFILEINFO, found " . @fixed . "\n" unless @fixed == 1;
    my ($fms, $fls, $pms, $pls) = unpack("V4", $fixed[0]);
    my $words = sub { join(".", $_[0] >> 16, $_[0] & 0xFFFF, $_[1] >> 16, $_[1] & 0xFFFF) };
    print "FILEVERSION ", $words->($fms, $fls), "\n", "PRODUCTVERSION ", $words->($pms, $pls), "\n";
    for my $name ("FileVersion", "ProductVersion") {
      my $key = join("", map { "$_\0" } split //, $name) . "\0\0";
      my @values = /\Q$key\E(?:\0\0)*((?:[^\0]\0)+)\0\0/sg;
      die "expected one $name string, found " . @values . "\n" unless @values == 1;
      (my $value = $values[0]) =~ s/\0//g;
      print "$name $value\n";
    }' "$1"
}
pe_field() { sed -n "s/^$1 //p" "$work/pe"; }
inf_value() { tr -d '\r' <"$inf" | sed -n "s/^$1=//p"; }
codebase_version() { grep -o 'codebase="[^"]*#version=[^"]*"' "$page" | sed 's/.*#version=//; s/"$//'; }
msi_version() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p'; }
dovrel_version() { "${dovrel[@]}" --version 2>/dev/null | tr -d '\r' | sed -n 's/^dovrel //p'; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pe_versions "$dll" >"$work/pe" || { echo "FAIL: no version resource read from $dll"; exit 1; }

failures=0
check() {
  local source=$1 value=$2 dotted
  dotted=$(printf '%s' "$value" | tr -d ' ' | tr ',' '.')
  if [ -n "$value" ] && [ "$dotted" = "$expected" ]; then
    echo "$source: $value"
  else
    echo "FAIL: $source: '$value', not $expected"
    failures=$((failures + 1))
  fi
}
check "Dovrel.dll FILEVERSION" "$(pe_field FILEVERSION)"
check "Dovrel.dll PRODUCTVERSION" "$(pe_field PRODUCTVERSION)"
check 'Dovrel.dll "FileVersion"' "$(pe_field FileVersion)"
check 'Dovrel.dll "ProductVersion"' "$(pe_field ProductVersion)"
[ -n "${inf:-}" ] && check "$(basename "$inf") FileVersion" "$(inf_value FileVersion)"
check "$(basename "$page") codebase #version" "$(codebase_version)"
for msi in "${msis[@]}"; do
  check "$(basename "$msi") ProductVersion" "$(msi_version "$msi")"
done
check "dovrel --version" "$(dovrel_version)"
exit $((failures > 0))
