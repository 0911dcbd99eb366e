# Shared by scripts/release and scripts/verify-release: building the shipped
# launcher and the package from a clean export of the current commit, and the
# release set's file names. Sourced after common.sh.

ensure_release_tools() {
  ensure_packages git cmake make g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev python3
}

launcher_name() { echo "Mendora.Launcher-$1.exe"; }
package_name() { echo "ValcrestPatch-$1.exe"; }

# build_commit DIR: exports HEAD into DIR/source and builds the shipped
# launcher and the package program, without the tests, in DIR/build. DIR must be new. Nothing of the
# working tree, its build folders or uncommitted changes goes in.
build_commit() {
  local dir=$1
  mkdir -p "$dir/source"
  git -C "$MENDORA_ROOT" archive HEAD | tar -x -C "$dir/source"
  cmake -S "$dir/source" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$dir/source/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMENDORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$dir/build" -j "$(nproc)" --target Mendora.Launcher PatchPackage >/dev/null
}

built_launcher() { echo "$1/build/bin/Mendora.Launcher.exe"; }
built_version() { project_version "$1/build"; }

# package_with_commit DIR LAUNCHER OUTPUT PATCH [OLD_PATCH]: the package, made
# by the exported commit's own scripts/package from the package program it built.
package_with_commit() {
  local dir=$1 launcher=$2 output=$3
  shift 3
  MENDORA_BUILD=$dir/build "$dir/source/scripts/package" --launcher "$launcher" --output "$output" \
    --version "$(built_version "$dir")" "$@" >/dev/null
}

# Whether the working tree has changes that HEAD, and so the release, lacks.
note_uncommitted_changes() {
  if [ -n "$(git -C "$MENDORA_ROOT" status --porcelain --untracked-files=no)" ]; then
    echo "Note: uncommitted changes are not part of it; it is built from HEAD ($(git -C "$MENDORA_ROOT" rev-parse --short HEAD))." >&2
  fi
}
