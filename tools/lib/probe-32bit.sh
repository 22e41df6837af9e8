# Sourced: tells how this machine runs 32-bit x86 programs, which the 32-bit
# Wine loader is. Three kinds of machine:
#   native    the kernel runs them;
#   emulated  the kernel refuses them, and qemu's i386 handler in binfmt_misc
#             runs them (about a minute of CPU per Windows program start);
#   none      the kernel refuses them and no handler can be registered.
# The inputs can be redirected, so tests can play every kind of machine:
#   DOVREL_LDSO32      a 32-bit program to try (default: the i386 dynamic loader)
#   DOVREL_BINFMT_DIR  binfmt_misc's folder (default /proc/sys/fs/binfmt_misc)

probe_ldso32=${DOVREL_LDSO32:-/lib/ld-linux.so.2}
probe_binfmt=${DOVREL_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
# qemu's own binfmt entry for i386 ELF executables (scripts/qemu-binfmt-conf.sh).
probe_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
probe_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
probe_handler_name=dovrel-i386

# decide_32bit STARTS HANDLER CAN_REGISTER -> native | emulated | register | none
#   STARTS        yes when a 32-bit program starts now (by the kernel or a handler)
#   HANDLER       yes when binfmt_misc has an enabled handler for i386 programs
#   CAN_REGISTER  yes when a handler could be registered (binfmt_misc writable)
# A handler takes every 32-bit program, even on a machine that could run them
# itself, so with one in place they are emulated. One is registered only where
# the kernel refuses them: elsewhere it would slow every 32-bit program.
decide_32bit() {
  local starts=$1 handler=$2 can_register=$3
  if [ "$handler" = yes ]; then
    if [ "$starts" = yes ]; then echo emulated; else echo none; fi
  elif [ "$starts" = yes ]; then
    echo native
  elif [ "$can_register" = yes ]; then
    echo register
  else
    echo none
  fi
}

probe_starts() { "$probe_ldso32" --version >/dev/null 2>&1 && echo yes || echo no; }

# An enabled binfmt_misc entry whose magic is that of i386 ELF executables.
probe_handler() {
  local entry
  for entry in "$probe_binfmt"/*; do
    [ -f "$entry" ] || continue
    case "${entry##*/}" in register|status) continue ;; esac
    if grep -qx enabled "$entry" 2>/dev/null &&
       grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null; then
      echo yes; return
    fi
  done
  echo no
}

# binfmt_misc mounted (or mountable) with a writable register file.
probe_can_register() {
  if [ ! -e "$probe_binfmt/register" ] && [ "$probe_binfmt" = /proc/sys/fs/binfmt_misc ]; then
    mount -t binfmt_misc binfmt_misc "$probe_binfmt" >/dev/null 2>&1
  fi
  [ -w "$probe_binfmt/register" ] && echo yes || echo no
}

# Installs qemu-user-static when missing and registers its i386 handler with
# the F flag (the interpreter is opened now, so it works inside any mount
# namespace later). Debian's package registers no handler for the host's own
# processor family, so this is the only one.
probe_register() {
  if ! command -v qemu-i386-static >/dev/null 2>&1; then
    echo "installing qemu-user-static to run 32-bit programs through emulation" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static \
      >/dev/null 2>&1 || return 1
  fi
  local qemu
  qemu=$(command -v qemu-i386-static) || return 1
  printf ':%s:M::%s:%s:%s:F\n' "$probe_handler_name" "$probe_i386_magic" "$probe_i386_mask" "$qemu" \
    >"$probe_binfmt/register" 2>/dev/null
}

# probe_32bit: prints "KIND: why" in one line, having registered qemu's
# handler where the kernel refuses 32-bit programs and one can be registered.
probe_32bit() {
  local kind
  if [ ! -x "${DOVREL_WINE32:-/usr/lib/wine/wine}" ]; then
    echo "none: the 32-bit Wine loader (wine32:i386) is not installed"
    return
  fi
  kind=$(decide_32bit "$(probe_starts)" "$(probe_handler)" no)
  if [ "$kind" = none ] && [ "$(probe_handler)" = no ]; then
    kind=$(decide_32bit no no "$(probe_can_register)")
  fi
  if [ "$kind" = register ]; then
    if probe_register; then
      kind=$(decide_32bit "$(probe_starts)" "$(probe_handler)" no)
    else
      kind=none
    fi
  fi
  case "$kind" in
    native) echo "native: this machine runs 32-bit programs" ;;
    emulated) echo "emulated: 32-bit programs run through qemu-i386 (binfmt_misc), about a minute of CPU per Windows program start" ;;
    *) echo "none: 32-bit programs do not start here (\"Exec format error\") and no emulator for them can be registered" ;;
  esac
}
