#!/usr/bin/env bash
# The scripts' answer to "does 32-bit Windows code run here, and how", from
# the exit statuses the probe gave through Wine's 32-bit loader and in its
# WoW64 mode, one row per kind of machine and per way a start can fail.
set -u
source "$(dirname "$0")/../../scripts/lib/wine-loader.sh"

failures=0
row() {
  local loader=$1 wow64=$2 expected=$3 answer
  answer=$(wine_32bit_choice "$loader" "$wow64")
  if [ "$answer" != "$expected" ]; then
    echo "FAILED: loader '$loader', WoW64 '$wow64': '$answer', expected '$expected'"
    failures=$((failures + 1))
  fi
}
# loader   WoW64  answer
row 73     ""     loader  # the loader ran it; WoW64 mode is not tried
row 73     73     loader
row 126    73     wow64   # "Exec format error" from the loader, WoW64 mode ran it
row 126    1      none    # both refused: "ShellExecuteEx failed: Internal error."
row 1      1      none
row 0      0      none    # Wine ended well without running the probe
row 124    124    none    # both hung until the time-out
row ""     ""     none

[ "$failures" -eq 0 ] && echo "Every row passed."
[ "$failures" -eq 0 ]
