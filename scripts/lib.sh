# Shared by the build, demo and test scripts: packages, build folder, Wine prefix.
# Source it; it expects to be called from the repository root.

KV_ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$KV_ROOT/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$KV_ROOT/$BUILD_DIR ;; esac

KV_PACKAGES="g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 xvfb xauth xdotool imagemagick cmake make googletest nlohmann-json3-dev xsltproc libxml2-utils python3
  wamerican-small"

# scripts/package: the installers (wixl, and libmsi's Python binding to stamp them),
# Authenticode signing, the commit to build from.
KV_RELEASE_PACKAGES="wixl msitools gir1.2-libmsi-1.0 python3-gi osslsigncode openssl git"

# Only the tests need a browser, clang with libFuzzer for the native fuzz targets, and
# sqlite3 to load what KvReport table writes; the package test needs what scripts/package does.
KV_TEST_PACKAGES="chromium clang-14 libclang-rt-14-dev sqlite3 $KV_RELEASE_PACKAGES"

kv_log() { printf '== %s\n' "$*" >&2; }

# Installs what is missing; does nothing (and needs no network) when all is there.
kv_ensure_packages() {
  local missing=()
  for p in $KV_PACKAGES ${1:-}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  kv_log "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures a build tree once: kv_configure TREE TOOLCHAIN-FILE [CMAKE OPTION...]
kv_configure() {
  local tree=$1 toolchain=$2
  shift 2
  [ -f "$tree/CMakeCache.txt" ] && return 0
  cmake -S "$KV_ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$KV_ROOT/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

# What an edition ships: the program, the report tool and the libraries.
KV_SHIPPED_TARGETS="KvInspectra KvReport KvIxa KvIxaLegacy KvIxaRecorder"

# Both editions: the 64-bit one with the tests and tools into bin/; the 32-bit one
# (for the Roamdeck R96) from the same sources in a tree of its own, win32/, with
# what it ships only, into bin32/.
kv_build() {
  kv_ensure_packages
  kv_configure "$BUILD_DIR" mingw-w64-x86_64.cmake
  cmake --build "$BUILD_DIR" -j "$(nproc)"
  kv_configure "$BUILD_DIR/win32" mingw-w64-i686.cmake -DKV_BIN_DIR="$BUILD_DIR/bin32"
  cmake --build "$BUILD_DIR/win32" -j "$(nproc)" --target $KV_SHIPPED_TARGETS
}

kv_wine_env() {
  export WINEPREFIX=$BUILD_DIR/wineprefix
  # Wine's own diagnostics stay on: a program Wine ends at start-up (a thread
  # that cannot open the X display ends it with exit code 1) says why.
  export WINEDEBUG=-all,err+winediag
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# One prefix for every run from this build folder, made once.
kv_ensure_prefix() {
  kv_wine_env
  [ -f "$WINEPREFIX/.kv-ready" ] && return 0
  kv_log "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 120 wineserver -w
  timeout 60 wine winecfg /v win10 >/dev/null 2>&1
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # The prefix links Documents, Desktop and friends into the real home folder:
  # make them plain folders so no run ever touches it.
  local user_dir
  for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
    local entry
    for entry in "$user_dir"*; do
      if [ -L "$entry" ]; then rm -f "$entry"; mkdir -p "$entry"; fi
    done
  done
  timeout 120 wineserver -w
  touch "$WINEPREFIX/.kv-ready"
}

# A persistent wineserver makes every launch fast; stopped by kv_stop_wine.
# The first launch also starts Wine's desktop process, which inherits that
# launch's standard handles and outlives it: a caller reading the output would
# wait for it forever. Start it here, detached from every pipe. Wine closes the
# desktop a second after its last program ends and the next program starts it
# again inside its own start-up; the test helper kv_keep_desktop (once built)
# keeps it open until the wineserver stops.
kv_start_wineserver() {
  kv_wine_env
  wineserver -p >/dev/null 2>&1 || true
  if [ -f "$BUILD_DIR/bin/kv_keep_desktop.exe" ]; then
    wine "$BUILD_DIR/bin/kv_keep_desktop.exe" </dev/null >/dev/null 2>&1 &
  fi
  timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

kv_stop_wine() {
  kv_wine_env
  timeout 30 wineserver -k >/dev/null 2>&1 || true
}

# A private X display for windows and message boxes; sets DISPLAY.
kv_start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  KV_XVFB_PID=$!
  local display
  read -r -t 20 display <"$fifo" || true
  rm -f "$fifo"
  [ -n "$display" ] || { kv_log "Xvfb did not start"; return 1; }
  export DISPLAY=:$display
}

kv_stop_xvfb() {
  [ -n "${KV_XVFB_PID:-}" ] && kill "$KV_XVFB_PID" 2>/dev/null || true
}
