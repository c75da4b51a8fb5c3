#!/usr/bin/env bash
# Makes the releases into dist/ and checks them:
#   qbank_VERSION_amd64.deb               the Debian package (CPack): both programs, the desktop
#                                         entry, icon, MIME types, manual pages, bash completion
#   qbank-VERSION-windows-x86_64.zip      qbank.exe, qbank-gui.exe and the DLLs and plugins they
#                                         load (found from the programs' imports), the licences
#   qbank-VERSION-windows-x86_64-setup.exe  the same as an installer (NSIS) with Start-menu
#                                         entries and file associations for .qbs and .qbb
# Then: lintian on the package; the package unpacked into a throw-away root runs
# `qbank --version`; the zip unpacked runs qbank.exe and qbank-gui.exe --version under Wine and
# starts qbank-gui.exe with the demo script on the windows platform (Xvfb).
# Needs Qt for Windows (QBANK_QT_WINDOWS, else ../shared/qt6-mingw beside the checkout).
# Usage: tools/release.sh [BUILD_DIR]   (Windows build folder, shared with the window tests;
#                                       default build-windows; the Linux one is build-release)
# QBANK_RELEASE=deb or QBANK_RELEASE=windows makes only that part.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$here/build-windows}")
. "$here/tools/windows/common.sh"
version=$(sed -n 's/^project(qbank VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
dist=$here/dist
mkdir -p "$dist"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

windows_install_packages cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine wine64 googletest \
  libcli11-dev qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev nsis zip unzip lintian dpkg-dev fakeroot xvfb \
  xauth xdotool imagemagick

part=${QBANK_RELEASE:-all}

# --- The Debian package -----------------------------------------------------------------------
make_deb() {
echo "release: the Debian package"
linux=$here/build-release
# Debian's hardening flags (stack protector, fortified functions, read-only relocations).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$here" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQBANK_BUILD_TESTS=OFF \
  -DQBANK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$linux" -j "$jobs" --target qbank qbank-gui
rm -rf "$linux/dist"
(cd "$linux" && cpack -G DEB >/dev/null)
deb=$(ls "$linux"/dist/qbank_*.deb)
cp "$deb" "$dist/"
deb=$dist/$(basename "$deb")
# Errors and warnings fail the release; the informational tags left are named in the README.
lintian --fail-on error,warning "$deb"

echo "release: checking the package"
mkdir "$work/deb"
dpkg -x "$deb" "$work/deb"
got=$("$work/deb/usr/bin/qbank" --version)
[ "$got" = "qbank $version" ] || { echo "release: the package's qbank says '$got'" >&2; exit 1; }
for f in usr/bin/qbank-gui usr/share/applications/qbank-gui.desktop usr/share/man/man1/qbank.1.gz \
  usr/share/bash-completion/completions/qbank usr/share/mime/packages/qbank.xml \
  usr/share/icons/hicolor/scalable/apps/qbank-gui.svg; do
  [ -e "$work/deb/$f" ] || { echo "release: the package lacks /$f" >&2; exit 1; }
done
}

# --- Windows ----------------------------------------------------------------------------------
make_windows() {
if [ ! -e "$qt_windows/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "release: no Qt for Windows at $qt_windows (set QBANK_QT_WINDOWS)" >&2
  exit 2
fi
echo "release: the Windows programs"
windows_stage
# shellcheck disable=SC2046
windows_configure "$build/gui" $(windows_qt_options)
cmake --build "$build/gui" -j "$jobs" --target qbank qbank-gui
name=qbank-$version-windows-x86_64
root=$work/$name
mkdir -p "$root/platforms" "$root/licenses/Qt" "$root/licenses/mingw-w64"
cp "$build/gui/bin/qbank.exe" "$build/gui/bin/qbank-gui.exe" "$root/"
cp "$qt_windows/plugins/platforms/qwindows.dll" "$root/platforms/"

# The DLLs the programs and the plugin import, and the ones those import, from Qt and the mingw
# runtime; what is found in neither is the system's own (KERNEL32.dll, ...).
dll_dirs=("$qt_windows/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  dll_dirs+=("$(dirname "$(realpath "$("$(grep -m1 CMAKE_CXX_COMPILER: "$build/gui/CMakeCache.txt" |
    cut -d= -f2)" -print-file-name="$dll")")")")
done
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p'; }
queue=("$root/qbank.exe" "$root/qbank-gui.exe" "$root/platforms/qwindows.dll")
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    [ -e "$root/$dll" ] && continue
    for dir in "${dll_dirs[@]}"; do
      found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit)
      if [ -n "$found" ]; then
        cp "$found" "$root/$dll"
        queue+=("$root/$dll")
        break
      fi
    done
  done
done
echo "release: bundled $(cd "$root" && find . -name '*.dll' | sort | tr '\n' ' ')"
cp "$here/LICENSE" "$root/LICENSE.txt"
cp "$qt_windows"/LICENSES/* "$root/licenses/Qt/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$root/licenses/mingw-w64/gcc-runtime.txt"
[ -e /usr/share/doc/mingw-w64-common/copyright ] &&
  cp /usr/share/doc/mingw-w64-common/copyright "$root/licenses/mingw-w64/mingw-w64.txt"
cat >"$root/README.txt" <<TXT
qbank $version for Windows (64-bit): the bank manager for the Quorvatek Samplers.

qbank-gui.exe  the window
qbank.exe      the command-line tool (qbank --help)

qbank is free software under the GNU General Public License, version 3 or later (LICENSE.txt).
It comes with Qt's libraries, under the GNU LGPL version 3 (licenses/Qt), and the GCC and
mingw-w64 runtime libraries (licenses/mingw-w64).
TXT
rm -f "$dist/$name.zip"
(cd "$work" && zip -qr9 "$dist/$name.zip" "$name")

echo "release: the Windows installer"
# The uninstaller removes the installed files one by one, then the folders deepest first.
# shellcheck disable=SC2016  # $INSTDIR is NSIS's, not ours
{
  (cd "$root" && find . -type f | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|')
  (cd "$root" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|')
} >"$work/uninstall-list.nsh"
sed -e "s|@VERSION@|$version|g" -e "s|@ROOT@|$root|g" -e "s|@OUT@|$dist/$name-setup.exe|g" \
  -e "s|@UNINSTALL_LIST@|$work/uninstall-list.nsh|g" \
  "$here/packaging/windows/installer.nsi" >"$work/installer.nsi"
makensis -V2 "$work/installer.nsi"

echo "release: checking the zip"
mkdir "$work/zip"
(cd "$work/zip" && unzip -q "$dist/$name.zip")
windows_wine_prefix
unpacked=$work/zip/$name
for program in qbank qbank-gui; do
  got=$(cd "$unpacked" && wine "./$program.exe" --version | tr -d '\r')
  [ "$got" = "$program $version" ] ||
    { echo "release: $program.exe from the zip says '$got'" >&2; exit 1; }
done
"$here/tools/windows/screenshot.sh" "$unpacked" "$work/zip-start.png"

echo "release: checking the installer"
# Installed silently into a folder of the Wine prefix: the programs, the association of .qbs and
# .qbb with the window, the Start-menu entry; then uninstalled, which leaves nothing behind.
target='C:\qbank-release-check'
wine "$dist/$name-setup.exe" /S "/D=$target" >/dev/null 2>&1
wineserver --wait
installed=$(winepath -u "$target")
got=$(cd "$installed" && wine ./qbank.exe --version | tr -d '\r')
[ "$got" = "qbank $version" ] || { echo "release: the installed qbank.exe says '$got'" >&2; exit 1; }
for kind in qbs:qbank.script qbb:qbank.bank; do
  wine reg query "HKLM\\Software\\Classes\\.${kind%%:*}" 2>/dev/null | tr -d '\r' |
    grep -q "${kind#*:}" || { echo "release: the installer did not associate .${kind%%:*}" >&2; exit 1; }
done
wine reg query "HKLM\\Software\\Classes\\qbank.script\\shell\\open\\command" 2>/dev/null |
  tr -d '\r' | grep -qi 'qbank-gui.exe" "%1"' ||
  { echo "release: .qbs files do not open in qbank-gui.exe" >&2; exit 1; }
find "$WINEPREFIX/drive_c" -path '*Quorvatek Samplers Bank Manager*' -name '*.lnk' | grep -q . ||
  { echo "release: no Start-menu entry" >&2; exit 1; }
wine "$installed/uninstall.exe" /S >/dev/null 2>&1
wineserver --wait
sleep 2
[ ! -e "$installed" ] || { echo "release: the uninstaller left $installed" >&2; exit 1; }
wineserver --kill >/dev/null 2>&1 || true
}

[ "$part" = windows ] || make_deb
[ "$part" = deb ] || make_windows
echo "release: done:"
ls -l "$dist"
