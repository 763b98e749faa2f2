# Sourced by the scripts: build folder, Wine prefix and a private X display.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KC_BUILD:-$ROOT/build}"
DEPS_PREFIX="${KC_DEPS_PREFIX:-$BUILD/deps/prefix}"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
# No Mono or Gecko prompts; no sound driver (nothing here plays sound, and ALSA only adds noise).
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="

kc_configure() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DKC_DEPS_PREFIX="$DEPS_PREFIX" -DCMAKE_BUILD_TYPE=Release >/dev/null
}

# Starts Xvfb on a free display and a detached wineserver on the project's prefix.
kc_start_wine() {
  local n=91
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n+1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  KC_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${n}" ] && break; sleep 0.1; done
  mkdir -p "$WINEPREFIX"
  # The first wine of a prefix must not start under a captured pipe (CTest would wait forever).
  wineserver -p </dev/null >/dev/null 2>&1 &
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

kc_stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  [ -n "${KC_XVFB_PID:-}" ] && kill "$KC_XVFB_PID" 2>/dev/null || true
}
