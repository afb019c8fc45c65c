#!/usr/bin/env bash
# Builds the cross-compiled dependencies of the windows preset into PREFIX (called by
# install-deps.sh windows once the cross compilers are installed):
#   PREFIX/include/rapidjson     a link to Debian's RapidJSON headers
#   PREFIX/lib/libyaml.a         libyaml from Debian's source package, static
#   PREFIX/lib/libgtest*.a ...   GoogleTest and GoogleMock from /usr/src/googletest
# Each step is skipped when its result is present.
set -euo pipefail
prefix="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/toolchains/i686-w64-mingw32.cmake"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
mkdir -p "$prefix/include" "$prefix/lib"

if [ ! -e "$prefix/include/rapidjson" ]; then
  ln -s /usr/include/rapidjson "$prefix/include/rapidjson"
fi

# apt-get source needs a deb-src entry: the machine's own stanza of the main suite, with
# its type changed, so that no archive address is written here.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/qiv-deb-src.sources
  [ -f "$list" ] && return 0
  local sources=/etc/apt/sources.list.d/debian.sources
  if [ ! -f "$sources" ]; then
    echo "build-windows-deps: $sources not found; add a deb-src entry for libyaml by hand" >&2
    return 1
  fi
  # The first stanza is the main archive; keep its first suite only (the release itself).
  awk 'BEGIN { RS=""; FS="\\n" } NR == 1 {
         for (i = 1; i <= NF; i++) {
           if ($i ~ /^Types:/) $i = "Types: deb-src"
           else if ($i ~ /^Suites:/) { split($i, words, " "); $i = "Suites: " words[2] }
           print $i
         }
       }' "$sources" | $SUDO tee "$list" >/dev/null
  $SUDO apt-get update -q || echo "build-windows-deps: apt-get update reported errors; continuing" >&2
}

if [ ! -f "$prefix/lib/libyaml.a" ]; then
  echo "build-windows-deps: building libyaml for i686-w64-mingw32 into $prefix"
  work="$root/build/deps-windows-src/libyaml"
  rm -rf "$work" && mkdir -p "$work"
  ensure_deb_src
  (cd "$work" && apt-get source --download-only -q libyaml >/dev/null)
  tarball=$(ls "$work"/libyaml_*.orig.tar.* | head -n 1)
  tar -xf "$tarball" -C "$work"
  source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -n 1)
  # The version comes from the tarball's name (libyaml_0.2.5.orig.tar.gz).
  version=$(basename "$tarball" | sed -E 's/^libyaml_([0-9]+)\.([0-9]+)\.([0-9]+).*/\1 \2 \3/')
  read -r major minor patch <<<"$version"
  (
    cd "$source_dir"
    for file in src/*.c; do
      i686-w64-mingw32-gcc-posix -O2 -DYAML_DECLARE_STATIC -DYAML_VERSION_MAJOR="$major" \
        -DYAML_VERSION_MINOR="$minor" -DYAML_VERSION_PATCH="$patch" \
        -DYAML_VERSION_STRING="\"$major.$minor.$patch\"" -Iinclude -c "$file" -o "${file%.c}.o"
    done
    i686-w64-mingw32-ar rcs "$prefix/lib/libyaml.a" src/*.o
    cp include/yaml.h "$prefix/include/yaml.h"
  )
fi

if [ ! -f "$prefix/lib/libgtest.a" ] || [ ! -f "$prefix/lib/libgmock.a" ]; then
  echo "build-windows-deps: building GoogleTest for i686-w64-mingw32 into $prefix"
  work="$root/build/deps-windows-src/googletest"
  rm -rf "$work"
  cmake -S /usr/src/googletest -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON \
    -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$work" >/dev/null
  cmake --install "$work" >/dev/null
fi
