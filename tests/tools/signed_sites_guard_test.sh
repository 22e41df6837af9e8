#!/usr/bin/env bash
# A signed build must name the bank's sites: the configure step's guard, alone.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/tools/checks.sh"

# signing-certificate sites -> configure exit (0 goes on, 1 refuses)
while IFS='|' read -r cert sites expected; do
  cmake -DDOVREL_SIGN_CERT="$cert" -DDOVREL_ALLOWED_SITES="$sites" -P "$root/cmake/SignedSitesGuard.cmake" >/dev/null 2>&1
  check "signed by '$cert' for '$sites'" "$expected" "$?"
done <<'TABLE'
bank.pfx|bank.example;*.bank.example|0
bank.pfx||1
bank.pfx| |1
bank.pfx|*|1
bank.pfx| * |1
||0
|*|0
TABLE
finish
