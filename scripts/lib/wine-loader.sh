# Which Wine loader runs Windows programs here; sourced by scripts/lib/common.sh
# and by build/wine-run, so the tests and the scripts choose alike.
#
# Debian's `wine` always starts through Wine's 32-bit loader, a 32-bit Linux
# program. Some kernels refuse every 32-bit program ("Exec format error"):
# there the 64-bit loader is called directly, and it runs 32-bit Windows
# programs in Wine's experimental WoW64 mode, inside a 64-bit process through
# its own wow64.dll, once it knows where Wine's 32-bit Windows DLLs are
# (without them it looks for C:\windows\syswow64\ntdll.dll and fails). That
# mode needs a 64-bit prefix: a 32-bit one (WINEARCH=win32) cannot be used.

wine_runs_32bit() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# How 32-bit Windows programs run here, for the scripts' titles.
wine_32bit_mode() {
  if wine_runs_32bit; then
    echo "through Wine's 32-bit loader"
  else
    echo "in Wine's experimental WoW64 mode"
  fi
}

# wine_loader ARGS...: runs ARGS (a Windows program or a Wine tool such as
# wineboot) with the loader this machine can run.
wine_loader() {
  if wine_runs_32bit; then
    wine "$@"
  else
    WINELOADER=/usr/lib/wine/wine64 WINEDLLPATH=/usr/lib/i386-linux-gnu/wine /usr/lib/wine/wine64 "$@"
  fi
}
