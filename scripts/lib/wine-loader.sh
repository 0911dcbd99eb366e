# How Windows programs are started under Wine here, and whether 32-bit ones run
# at all; sourced by scripts/lib/common.sh and by build/wine-run, so the tests
# and the scripts choose alike.
#
# Debian's `wine` starts through Wine's 32-bit loader, a 32-bit Linux program.
# Machines differ in what their kernel runs:
#   loader  32-bit programs run: the 32-bit loader starts them;
#   wow64   the kernel refuses 32-bit programs but runs 32-bit code inside a
#           64-bit process: Wine's 64-bit loader runs 32-bit Windows programs
#           in its experimental WoW64 mode, once it knows where Wine's 32-bit
#           Windows DLLs are (without them it looks for
#           C:\windows\syswow64\ntdll.dll and fails);
#   none    the kernel faults every 32-bit instruction stream: no 32-bit
#           Windows code runs in any mode, only 64-bit programs do.
# Which one holds is learnt once per run by running a tiny 32-bit program
# (wine_probe_32bit in common.sh), never from which loaders exist, and kept in
# MENDORA_WINE_32BIT for everything the run starts. Setting it by hand forces
# an answer (MENDORA_WINE_32BIT=none scripts/test tests what a machine of the
# third kind tests).

# The exit status of scripts/lib/wine-probe.c when it ran as a 32-bit program.
WINE_PROBE_STATUS=73

# wine_32bit_choice LOADER_STATUS WOW64_STATUS: the answer from the probe's
# exit status through the 32-bit loader and in WoW64 mode (empty when that
# second probe was not needed).
wine_32bit_choice() {
  if [ "$1" = "$WINE_PROBE_STATUS" ]; then
    echo loader
  elif [ "$2" = "$WINE_PROBE_STATUS" ]; then
    echo wow64
  else
    echo none
  fi
}

# How 32-bit Windows programs run here, for the scripts' titles.
wine_32bit_mode() {
  case ${MENDORA_WINE_32BIT-} in
    loader) echo "through Wine's 32-bit loader" ;;
    wow64) echo "in Wine's experimental WoW64 mode" ;;
    none) echo "nowhere: no 32-bit code runs on this machine, in any mode of Wine" ;;
    *) echo "not yet probed" ;;
  esac
}

# Whether the kernel runs Wine's 32-bit loader. This only chooses how to start
# a program before the probe has answered (the prefix's boot, a test program
# run by hand through build/wine-run); it says nothing about 32-bit code, which
# may still run, or not, when it fails.
wine_loader_runs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# wine_loader ARGS...: runs ARGS (a Windows program or a Wine tool such as
# wineboot) the way this machine runs Windows programs.
wine_loader() {
  local way=${MENDORA_WINE_32BIT-}
  [ -n "$way" ] || { wine_loader_runs && way=loader || way=wow64; }
  if [ "$way" = loader ]; then
    wine "$@"
  else
    WINELOADER=/usr/lib/wine/wine64 WINEDLLPATH=/usr/lib/i386-linux-gnu/wine /usr/lib/wine/wine64 "$@"
  fi
}
