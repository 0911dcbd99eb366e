# Which Wine loader runs Windows programs here; sourced by scripts/lib/common.sh
# and by build/wine-run, so the tests and the scripts choose alike.
#
# Debian's `wine` always starts through Wine's 32-bit loader, a 32-bit Linux
# program. Some kernels refuse every 32-bit program ("Exec format error"):
# there only 64-bit Windows programs can run, through the 64-bit loader
# called directly.

wine_runs_32bit() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# wine_loader ARGS...: runs ARGS (a Windows program or a Wine tool such as
# wineboot) with the loader this machine can run.
wine_loader() {
  if wine_runs_32bit; then
    wine "$@"
  else
    WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 "$@"
  fi
}
