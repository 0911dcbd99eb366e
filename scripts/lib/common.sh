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

# A 64-bit prefix needs Wine's 32-bit side (syswow64) for the 32-bit
# launcher. One booted where Wine could not find it lacks it for good;
# booted with it, through the 32-bit loader or in WoW64 mode, it serves both.
wine_prefix_whole() {
  local prefix=$1 arch=$2
  [ "$arch" = win32 ] || [ -f "$prefix/drive_c/windows/syswow64/ntdll.dll" ]
}

# A prefix reporting Windows 10, made once and reused (remade when it is not
# whole). $2 is win64 or win32.
wine_prefix_ready() {
  local prefix=$1 arch=$2
  [ -f "$prefix/.mendora-ready" ] && wine_prefix_whole "$prefix" "$arch" && return 0
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  echo "Booting Wine prefix $prefix ($arch)" >&2
  WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine_loader wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix WINEDEBUG=-all wine_loader winecfg /v win10 </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  wine_prefix_whole "$prefix" "$arch" || { echo "Wine booted $prefix without its 32-bit side" >&2; return 1; }
  touch "$prefix/.mendora-ready"
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
