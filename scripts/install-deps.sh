#!/usr/bin/env bash
# Installs the Debian packages this project builds with. Idempotent and quick when
# everything is already present. Pass "x86" to also prepare the 32-bit build,
# "x86-bench" for the 32-bit build with its benchmarks, "bench" for the benchmark
# report (gnuplot for its chart, and all that "x86-bench" brings), "windows" for the
# cross build of the DLL and its tests under Wine, and "fuzz" for clang and its fuzzing
# runtime.
# Every mode also fetches the public JSON and YAML test suites from the npm registry
# into build/test-suites and the OpenAPI validator into build/test-tools
# (scripts/fetch-test-suites.sh). Chromium runs the served host's page in its test.
set -euo pipefail

want_x86=0
want_x86_bench=0
want_windows=0
want_fuzz=0
want_bench=0
for arg in "$@"; do
  case "$arg" in
    x86) want_x86=1 ;;
    x86-bench) want_x86=1; want_x86_bench=1 ;;
    bench) want_x86=1; want_x86_bench=1; want_bench=1 ;;
    windows) want_windows=1 ;;
    fuzz) want_fuzz=1 ;;
    *) echo "install-deps: unknown argument '$arg' (expected: x86, x86-bench, bench, windows, fuzz)" >&2; exit 2 ;;
  esac
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(g++ gcc cmake ninja-build pkg-config rapidjson-dev libyaml-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev valgrind
          libcpp-httplib-dev chromium)
# npm fetches the public test suites; a machine may already carry Node.js from elsewhere.
if ! command -v npm >/dev/null 2>&1; then packages+=(nodejs npm); fi
if [ "$want_fuzz" -eq 1 ]; then packages+=(clang-16 libclang-rt-16-dev); fi
if [ "$want_bench" -eq 1 ]; then packages+=(gnuplot-nox); fi
x86_packages=(g++-multilib gcc-multilib libyaml-dev:i386)
if [ "$want_x86_bench" -eq 1 ]; then x86_packages+=(libbenchmark-dev:i386); fi
# The cross compilers, Wine, and dpkg-dev for apt-get source (libyaml's sources).
windows_packages=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386
                  dpkg-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$want_x86" -eq 1 ]; then packages_i386=("${x86_packages[@]}"); else packages_i386=(); fi
if [ "$want_windows" -eq 1 ]; then packages_i386+=("${windows_packages[@]}"); fi
if [ "${#packages_i386[@]}" -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    force_update=1
  fi
  for p in "${packages_i386[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
fi

if [ "${#missing[@]}" -gt 0 ] || [ "${force_update:-0}" -eq 1 ]; then
  echo "install-deps: installing ${missing[*]:-(package lists only)}"
  # An index of a foreign architecture may fail to download; the packages we need
  # come from indexes that did load, so a partial update is not fatal.
  $SUDO apt-get update -q || echo "install-deps: apt-get update reported errors; continuing" >&2
  if [ "${#missing[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

# GoogleTest for the 32-bit build, compiled from the sources Debian ships in
# /usr/src/googletest, installed into a private prefix inside the build tree.
if [ "$want_x86" -eq 1 ]; then
  root="$(cd "$(dirname "$0")/.." && pwd)"
  prefix="$root/build/deps-x86"
  if [ ! -f "$prefix/lib/libgtest.a" ] || [ ! -f "$prefix/lib/libgmock.a" ]; then
    echo "install-deps: building GoogleTest for i386 into $prefix"
    work="$root/build/deps-x86-src"
    rm -rf "$work"
    cmake -S /usr/src/googletest -B "$work" -G Ninja \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$work" >/dev/null
    cmake --install "$work" >/dev/null
  fi
fi

# The cross build of the DLL: libyaml from Debian's source package and GoogleTest from the
# sources Debian ships, both compiled with the cross compiler into build/deps-windows,
# and RapidJSON's headers linked (not copied) into the same prefix.
if [ "$want_windows" -eq 1 ]; then
  root="$(cd "$(dirname "$0")/.." && pwd)"
  bash "$root/scripts/build-windows-deps.sh" "$root/build/deps-windows"
fi

# The public JSON and YAML test suites, from the npm registry, unpacked as plain files.
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/fetch-test-suites.sh" "$root/build/test-suites"
