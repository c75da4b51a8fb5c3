# shellcheck shell=bash disable=SC2154
# What the Windows scripts share (sourced, not run): the Debian packages, GoogleTest and CLI11
# for the cross compiler in a prefix of their own, the Qt prefix and the Wine prefix.
# The caller sets `here` (the checkout) and `build` (its build folder) first.

toolchain=$here/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
stage=$build/stage
# Qt for Windows: QBANK_QT_WINDOWS, else the shared build beside the checkout.
qt_windows=$(realpath -m "${QBANK_QT_WINDOWS:-$here/../shared/qt6-mingw}")

# Installs the Debian packages of "$@" that are missing (only those).
windows_install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "windows: installing ${missing[*]}"
  local sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo_cmd apt-get update && $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"; }
}

# GoogleTest (built from Debian's sources once) and CLI11 in $stage.
windows_stage() {
  local gtest_stamp
  gtest_stamp=$stage/.googletest-$(dpkg-query -W -f='${Version}' googletest)
  if [ ! -e "$gtest_stamp" ]; then
    echo "windows: building GoogleTest with the cross compiler"
    rm -rf "$build/googletest"
    cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=ON >/dev/null
    cmake --build "$build/googletest" -j "$jobs"
    cmake --install "$build/googletest" >/dev/null
    touch "$gtest_stamp"
  fi
  # CLI11 is headers only; Debian's CMake package would add /usr/include, the build machine's
  # own headers, to the cross compiler's search path, so the headers are copied into the prefix.
  if [ ! -e "$stage/lib/cmake/CLI11/CLI11Config.cmake" ]; then
    mkdir -p "$stage/include" "$stage/lib/cmake/CLI11"
    cp -r /usr/include/CLI "$stage/include/"
    cat >"$stage/lib/cmake/CLI11/CLI11Config.cmake" <<'CMAKE'
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  get_filename_component(_cli11_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_cli11_prefix}/include")
endif()
CMAKE
  fi
  # libsndfile's and libsoxr's headers (plain C, the same on every system): conform and the
  # instrument import are built to load the DLLs when they lie beside the program.
  mkdir -p "$stage/include/qbank-codecs"
  cp /usr/include/sndfile.h /usr/include/soxr.h "$stage/include/qbank-codecs/"
}

# Configures the cross build in folder $1 with the extra CMake options "${@:2}".
windows_configure() {
  local dir=$1
  shift
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS="-Wno-restrict" -DQBANK_BUILD_BENCH=OFF "$@" >/dev/null
}

# The options that build the window against the Qt prefix.
windows_qt_options() {
  echo "-DQBANK_BUILD_GUI=ON" "-DCMAKE_FIND_ROOT_PATH=$stage;$qt_windows" \
    "-DCMAKE_PREFIX_PATH=$qt_windows" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
}

# A Wine prefix of our own, made once: nothing of the user's Wine is touched, and no dialog
# offers to install Mono or Gecko.
windows_wine_prefix() {
  export WINEPREFIX=${QBANK_WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "windows: making the Wine prefix"
    wineboot --init >/dev/null 2>&1 || true
    wineserver --wait || true
  fi
}
