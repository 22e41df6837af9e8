# shellcheck shell=bash
# Sourced by the tools' tests: counted checks and the closing line.
passed=0 failed=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED: %s: expected "%s", got "%s"\n' "$1" "$2" "$3"; fi
}
contains() {  # contains NAME TEXT OUTPUT
  case "$3" in *"$2"*) passed=$((passed + 1)) ;;
    *) failed=$((failed + 1)); printf 'FAILED: %s: no "%s" in:\n%s\n' "$1" "$2" "$3" ;; esac
}
lacks() {  # lacks NAME TEXT OUTPUT
  case "$3" in *"$2"*) failed=$((failed + 1)); printf 'FAILED: %s: "%s" in:\n%s\n' "$1" "$2" "$3" ;;
    *) passed=$((passed + 1)) ;; esac
}
# finish: the closing line, and the exit status it stands for.
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
