#!/usr/bin/env bash
# Cross-builds Qt for Windows (qtbase: Core, Gui, Widgets, Network, Concurrent, Test) from
# Debian's own source package, at the version of the build machine's Qt, with Debian's
# mingw-w64 (posix threads) and the project's toolchain file, using the build machine's Qt as
# the host Qt. The result goes into a prefix that is kept: run once per machine (a full build
# takes over an hour on two cores), then point QBANK_QT_WINDOWS at it.
# Usage: tools/windows/build-qt.sh [PREFIX]   (default: $QBANK_QT_WINDOWS, else
#                                              ~/.cache/qbank/qt6-mingw)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(realpath -m "${1:-${QBANK_QT_WINDOWS:-$HOME/.cache/qbank/qt6-mingw}}")
if [ -e "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "build-qt: Qt for Windows is already in $prefix"
  exit 0
fi
# The sources and the build folder (kept too, so that a failed build can go on).
build=${QBANK_QT_BUILD_DIR:-$HOME/.cache/qbank/qt6-mingw-build}
# shellcheck source=tools/windows/common.sh
. "$here/tools/windows/common.sh"
windows_install_packages dpkg-dev cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev \
  qt6-base-dev-tools
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${version%%+*}
upstream=${upstream%%-*}
echo "build-qt: qtbase $version (the build machine's Qt) into $prefix"

mkdir -p "$build"
cd "$build"
source_dir=$build/qtbase-everywhere-src-$upstream
if [ ! -d "$source_dir" ]; then
  # Debian's source package, from a deb-src entry for the same suites as the machine's.
  if ! apt-get source --download-only "qt6-base=$version" >/dev/null 2>&1; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    list=/etc/apt/sources.list.d/qbank-deb-src.list
    grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      sed 's/^deb /deb-src /' | $sudo_cmd tee "$list" >/dev/null
    if [ ! -s "$list" ] && ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
      for f in /etc/apt/sources.list.d/*.sources; do
        sed 's/^Types: deb$/Types: deb-src/' "$f"
        echo
      done | $sudo_cmd tee "$list.sources" >/dev/null
      $sudo_cmd mv "$list.sources" "${list%.list}.sources"
    fi
    $sudo_cmd apt-get update >/dev/null
  fi
  apt-get source --only-source "qt6-base=$version" >/dev/null
  [ -d "$source_dir" ] || mv "$build"/qt6-base-*/ "$source_dir"
fi

start=$(date +%s)
system_off=()
for lib in zlib pcre2 png jpeg freetype harfbuzz doubleconversion; do
  system_off+=("-DFEATURE_system_$lib=OFF")
done
cmake -S "$source_dir" -B "$build/qtbase" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_EXE_LINKER_FLAGS_INIT= -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_openssl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_dynamicgl=OFF "${system_off[@]}"
cmake --build "$build/qtbase" -j "$jobs"
cmake --install "$build/qtbase" >/dev/null
cp -r "$source_dir/LICENSES" "$prefix/" 2>/dev/null || true
minutes=$((($(date +%s) - start + 59) / 60))
echo "build-qt: done in $minutes minutes; use it with QBANK_QT_WINDOWS=$prefix"
