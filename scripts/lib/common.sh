# Shared by the scripts: project paths, installing what a fresh Debian 12
# machine lacks, and the Wine prefixes the tests and the demonstration use.

MENDORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MENDORA_BUILD=${MENDORA_BUILD:-$MENDORA_ROOT/build}
source "$MENDORA_ROOT/scripts/lib/wine-loader.sh"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

package_installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# Installs the listed Debian packages that are missing; "name:i386" packages
# bring the i386 architecture along.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    package_installed "$package" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

ensure_build_tools() {
  ensure_packages cmake make g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev python3 googletest \
    openssl osslsigncode wine wine32:i386 wine64
}

# configure_and_build [build folder] [toolchain file]: the shipped 32-bit
# build in build/ unless told otherwise.
configure_and_build() {
  local build=${1:-$MENDORA_BUILD} toolchain=${2:-$MENDORA_ROOT/cmake/mingw-i686.cmake}
  ensure_build_tools
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$MENDORA_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j "$(nproc)"
}

# project_version BUILD: the CMake project version (X.Y.Z) a configured build
# folder was made with; fails when the folder is not configured.
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt" 2>/dev/null | grep .
}

# The 64-bit build of the libraries and tests, in build/x64.
configure_and_build_x64() {
  ensure_packages g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  configure_and_build "$MENDORA_BUILD/x64" "$MENDORA_ROOT/cmake/mingw-x86_64.cmake"
}

# A 64-bit prefix needs Wine's 32-bit side (syswow64) to run 32-bit
# programs; booted through the 32-bit loader or in WoW64 mode it has it and
# serves both kinds.
wine_prefix_whole() {
  local prefix=$1 arch=$2
  [ "$arch" = win32 ] || [ -f "$prefix/drive_c/windows/syswow64/ntdll.dll" ]
}

# The kernel that booted a prefix, written into a prefix that boot left
# without its 32-bit side.
wine_kernel() { uname -srvm; }

# A prefix reporting Windows 10, made once and reused. $2 is win64 or win32.
# Where no 32-bit code runs, a 64-bit prefix boots without its 32-bit side
# (its own 32-bit rundll32 dies) and still serves 64-bit programs: it is
# reused as such by the kernel that booted it, and remade under any other,
# which may run 32-bit code.
wine_prefix_ready() {
  local prefix=$1 arch=$2 stamp=$1/.mendora-ready
  if [ -f "$stamp" ]; then
    wine_prefix_whole "$prefix" "$arch" && return 0
    [ "$(cat "$stamp")" = "$(wine_kernel)" ] && return 0
  fi
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  echo "Booting Wine prefix $prefix ($arch)" >&2
  WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine_loader wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix WINEDEBUG=-all wine_loader winecfg /v win10 </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  [ -f "$prefix/system.reg" ] || { echo "Wine could not boot $prefix" >&2; return 1; }
  if wine_prefix_whole "$prefix" "$arch"; then
    : >"$stamp"
  else
    echo "Wine booted $prefix without its 32-bit side: it serves 64-bit programs only" >&2
    wine_kernel >"$stamp"
  fi
}

# wine_probe_program: the path of the probe (scripts/lib/wine-probe.c), a
# 32-bit Windows program, built when missing or older than its source.
wine_probe_program() {
  local source=$MENDORA_ROOT/scripts/lib/wine-probe.c program=$MENDORA_BUILD/wine/probe32.exe
  if [ ! "$program" -nt "$source" ]; then
    mkdir -p "$(dirname "$program")"
    i686-w64-mingw32-gcc-posix -O2 -s -o "$program" "$source"
  fi
  echo "$program"
}

# wine_probe_status PREFIX LOADER...: the probe's exit status, started in
# PREFIX by LOADER; a probe that hangs counts as failed.
wine_probe_status() {
  local prefix=$1 status=0
  shift
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 120 "$@" "$(wine_probe_program)" </dev/null >/dev/null 2>&1 ||
    status=$?
  echo "$status"
}

# wine_probe_32bit PREFIX: learns, once per run and before anything 32-bit
# is run, whether and how 32-bit Windows code runs here, by running the probe
# in the booted 64-bit PREFIX through the 32-bit loader and, failing that, in
# WoW64 mode; exports the answer (scripts/lib/wine-loader.sh) in
# MENDORA_WINE_32BIT and prints it. An answer already there (from the script
# that started this one, or forced by hand) is kept.
wine_probe_32bit() {
  local prefix=$1 loader_status wow64_status=
  case ${MENDORA_WINE_32BIT-} in
    loader|wow64|none)
      echo "32-bit Windows code runs $(wine_32bit_mode) (MENDORA_WINE_32BIT=$MENDORA_WINE_32BIT, not probed)"
      return 0 ;;
    "") ;;
    *) echo "MENDORA_WINE_32BIT must be loader, wow64 or none, not '$MENDORA_WINE_32BIT'" >&2; return 64 ;;
  esac
  loader_status=$(wine_probe_status "$prefix" wine)
  [ "$loader_status" = "$WINE_PROBE_STATUS" ] ||
    wow64_status=$(wine_probe_status "$prefix" env WINELOADER=/usr/lib/wine/wine64 \
      WINEDLLPATH=/usr/lib/i386-linux-gnu/wine /usr/lib/wine/wine64)
  wine_stop "$prefix"
  MENDORA_WINE_32BIT=$(wine_32bit_choice "$loader_status" "$wow64_status")
  export MENDORA_WINE_32BIT
  echo "32-bit Windows code runs $(wine_32bit_mode) (the probe's exit status: $loader_status through the 32-bit loader${wow64_status:+, $wow64_status in WoW64 mode}; $WINE_PROBE_STATUS means it ran)"
}

# The build whose programs the demonstration, the benchmark and the soak run:
# the shipped 32-bit build where 32-bit code runs, the 64-bit build where none
# does. Call after wine_probe_32bit.
shipped_or_64bit_build() {
  if [ "$MENDORA_WINE_32BIT" = none ]; then echo "$MENDORA_BUILD/x64"; else echo "$MENDORA_BUILD"; fi
}

# The same build in words, with the mode it runs in.
shipped_or_64bit_build_title() {
  if [ "$MENDORA_WINE_32BIT" = none ]; then
    echo "the 64-bit build (build/x64), as no 32-bit code runs on this machine: the shipped 32-bit launcher is not run"
  else
    echo "the shipped 32-bit build under WOW64, $(wine_32bit_mode)"
  fi
}

# Starts the prefix's server and background processes with their standard
# streams detached, so nothing of Wine holds the caller's pipes open.
wine_start() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix WINEDEBUG=-all wine_loader wineboot </dev/null >/dev/null 2>&1
}

wine_stop() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
}
