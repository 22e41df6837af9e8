# shellcheck shell=bash
# Sourced: installs Debian packages from a mirror that fails at times. An index
# caught mid-sync ("File has unexpected size … Mirror sync in progress?") can
# fail for an hour while every other index is fine, so a failed update is
# retried, then left behind: the install is the judge of what can be had.
#   missing_packages PACKAGE...   prints those not installed, one a line
#   update_lists [APT-OPTION...]  apt-get update, retried; never fails
#   refresh_package_lists         the same, once a run
#   install_required PACKAGE...   installs the missing ones, or fails naming them
#   prepare_wine32                adds the i386 architecture the loader needs
#   install_wine32                the 32-bit Wine loader, when it can be had
# The pause between tries is DOVREL_APT_PAUSE seconds (default 15), the tries
# DOVREL_APT_TRIES (default 3).

export DEBIAN_FRONTEND=noninteractive
packages_refreshed=0
i386_added_here=0

# One query for the lot. A package of the machine's own architecture (or of
# none) answers to NAME, a foreign one only to NAME:ARCH, as they are asked for.
missing_packages() {
  local installed
  installed=$(dpkg-query -W -f='${Package} ${Architecture} ${Status}\n' "$@" 2>/dev/null |
    awk -v native="$(dpkg --print-architecture)" '$5 == "installed" {
      print $1 ":" $2; if ($2 == native || $2 == "all") print $1 }')
  local p
  for p in "$@"; do grep -qxF "$p" <<<"$installed" || echo "$p"; done
}

# apt_gist LOG: the first error apt gave, in one line.
apt_gist() {
  local line
  line=$(grep -m1 -E '^E: ' "$1" 2>/dev/null) || line=$(grep -m1 -v '^\s*$' "$1" 2>/dev/null) || true
  echo "${line:-no message}"
}

# update_lists [APT-OPTION...]: apt-get update, tried again after a pause while
# an index fails; never fails itself.
# shellcheck disable=SC2120  # build-mingw-openssl names its own list
update_lists() {
  local tries=${DOVREL_APT_TRIES:-3} pause=${DOVREL_APT_PAUSE:-15} try log
  log=$(mktemp)
  for try in $(seq "$tries"); do
    # A failed index is an "E:" line; the exit code has not always said so.
    if apt-get update -qq "$@" >"$log" 2>&1 && ! grep -q '^E: ' "$log"; then
      rm -f "$log"; return 0
    fi
    [ "$try" -lt "$tries" ] && sleep "$pause"
  done
  echo "package lists: some indexes could not be fetched after $tries tries ($(apt_gist "$log")); going on with what was fetched" >&2
  rm -f "$log"
  return 0
}

# refresh_package_lists: update_lists once a run, however often it is asked.
refresh_package_lists() {
  [ "$packages_refreshed" -eq 1 ] && return 0
  packages_refreshed=1
  update_lists
}

# apt_install LOG PACKAGE...: one apt-get install, its output in LOG.
apt_install() {
  local log=$1; shift
  apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

install_required() {
  local missing log
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  refresh_package_lists
  log=$(mktemp)
  if apt_install "$log" "${missing[@]}"; then rm -f "$log"; return 0; fi
  # One package that cannot be had fails the whole install: try each alone to
  # name the ones at fault and still install the rest.
  local p failed=()
  for p in "${missing[@]}"; do
    apt_install "$log" "$p" || failed+=("$p")
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "cannot install ${failed[*]}: $(apt_gist "$log")" >&2
    rm -f "$log"; return 1
  fi
  rm -f "$log"
}

# The 32-bit Wine loader is wanted, never needed: where it cannot be installed
# this machine runs as one without 32-bit programs (tools/probe-32bit says
# "none"). Its architecture is added before the first update, so that one
# update fetches every index.
wine32_wanted() { [ "$(dpkg --print-architecture)" = amd64 ] && [ -n "$(missing_packages wine32:i386)" ]; }

prepare_wine32() {
  wine32_wanted || return 0
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  dpkg --add-architecture i386
  i386_added_here=1
  packages_refreshed=0
}

# An i386 architecture this run added is removed again when it brought
# nothing, or every later apt-get update here would fetch its failing index.
install_wine32() {
  wine32_wanted || return 0
  prepare_wine32
  refresh_package_lists
  local log
  log=$(mktemp)
  if apt_install "$log" wine32:i386; then rm -f "$log"; return 0; fi
  echo "32-bit Wine (wine32:i386) not installed: $(apt_gist "$log"); going on as on a machine without 32-bit programs" >&2
  rm -f "$log"
  if [ "$i386_added_here" -eq 1 ] && ! dpkg-query -W -f='${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null | grep -q '^i386 ii'; then
    dpkg --remove-architecture i386
    i386_added_here=0
  fi
  return 0
}
