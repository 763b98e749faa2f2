# Sourced by the scripts: build folder, Wine prefix and a private X display.
# kc_start_wine is the one start-up of Wine and Xvfb that the test, the demo and every driver use:
# it returns only when the display answers, the prefix is complete and a persistent server has
# run a program; a failed start is stopped and tried once more, and a second failure returns
# non-zero with a message on stderr.
#
# Two roads. Where the host runs 32-bit code and wine32 is installed: the i686 build in build/,
# run by wine32. Otherwise (or with KC_WIN64=1): the i686 deliverables are still built in build/,
# and a 64-bit build of the same sources in build64/ runs every test under wine64, its tests
# reading the i686 deliverables as data too (kc_choose_road).
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD32="${KC_BUILD:-$ROOT/build}"
BUILD="$BUILD32"
KC_ROAD=win32
KC_ROAD_ARCH=i686
KC_WINE=wine
DEPS_PREFIX="${KC_DEPS_PREFIX:-$BUILD/deps/prefix}"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
# No Mono or Gecko prompts; no sound driver (nothing here plays sound, and ALSA only adds noise).
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
# Everything Wine and Xvfb print during start-up goes here, never to the caller's pipe.
KC_START_LOG="$BUILD/wine-start.log"

# The i386 packages that the 32-bit road runs on: Wine, and the Mesa that Direct3D 9 needs.
KC_I386_PKGS=(wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)

# Prints the packages of the list that are not installed.
kc_missing_pkgs() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

# The locks that apt and dpkg hold while they work (fcntl locks). On a new machine apt's daily
# timers and unattended upgrades hold them in the first minutes after boot.
KC_APT_LOCKS=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock)
KC_APT_LOCK_WAIT=300 # seconds

# Prints "process PID (NAME) on FILE" for the first of the apt locks that a process holds; nothing
# when none is held. /proc/locks names a file by device and inode.
kc_apt_lock_holder() {
  local f dev ino id pid
  for f in "${KC_APT_LOCKS[@]}"; do
    read -r dev ino < <(stat -c '%d %i' "$f" 2>/dev/null) || continue
    id="$(printf '%02x:%02x:%s' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$ino")"
    # Lines of waiting requests carry "->" before the lock's type; only holders count.
    pid="$(awk -v id="$id" '$2 != "->" && $6 == id { print $5; exit }' /proc/locks 2>/dev/null)"
    [ -n "$pid" ] || continue
    echo "process $pid ($(cat "/proc/$pid/comm" 2>/dev/null || echo "unknown")) on $f"
    return 0
  done
}

# Waits until no process holds an apt lock, KC_APT_LOCK_WAIT seconds at most, saying so on one
# line. Argument: the name its messages start with.
kc_wait_apt_lock() {
  local holder start=$SECONDS said=""
  while holder="$(kc_apt_lock_holder)"; [ -n "$holder" ]; do
    if ((SECONDS - start >= KC_APT_LOCK_WAIT)); then
      echo "$1: the apt lock is still held after $KC_APT_LOCK_WAIT s, by $holder; run again once it has ended" >&2
      return 1
    fi
    [ -n "$said" ] || echo "$1: waiting for the apt lock, held by $holder (at most $KC_APT_LOCK_WAIT s)" >&2
    said=1
    sleep 2
  done
}

# apt-get with its output appended to a log, after the wait for the apt lock; should another apt
# take the lock in between, apt itself waits for it as long. KC_APT_LOCKED=1 after a failure for
# the lock. Arguments: the messages' name, the log, apt-get's arguments.
kc_apt_get() {
  local name="$1" log="$2" from rc=0; shift 2
  KC_APT_LOCKED=""
  mkdir -p "$(dirname "$log")" && : >>"$log" || { echo "$name: cannot write $log" >&2; return 1; }
  kc_wait_apt_lock "$name" || { KC_APT_LOCKED=1; return 1; }
  from=$(($(wc -l <"$log") + 1))
  echo "== $(date -u +%T) apt-get $*" >>"$log"
  ${SUDO:-} apt-get -o DPkg::Lock::Timeout="$KC_APT_LOCK_WAIT" "$@" </dev/null >>"$log" 2>&1 || rc=$?
  if [ $rc != 0 ] && tail -n +"$from" "$log" | grep -q '^E: Could not get lock'; then
    KC_APT_LOCKED=1
    echo "$name: the apt lock is still held after $KC_APT_LOCK_WAIT s ($(tail -n +"$from" "$log" | grep -m 1 '^E: Could not get lock' | sed 's/^E: //'))" >&2
  fi
  return $rc
}

# A failed step: the log's path and its last lines. Arguments: name, what failed, log.
kc_step_failed() {
  echo "$1: $2 failed; the last lines of $3:" >&2
  tail -n 15 "$3" 2>/dev/null | sed 's/^/  /' >&2
}

# apt-get update, tried three times: a mirror in the middle of a sync refuses an index for a
# while. When it still fails, the lists already there stay and the install decides; the reason is
# in KC_APT_UPDATE_FAILED. A lock held too long is not tried again (KC_APT_LOCKED=1).
# Arguments: the name its messages start with, the log.
kc_apt_update() {
  local try from
  KC_APT_UPDATE_FAILED=""
  echo "$1: apt-get update (log $2)" >&2
  for try in 1 2 3; do
    from=$(($(cat "$2" 2>/dev/null | wc -l) + 1))
    kc_apt_get "$1" "$2" update -q && return 0
    [ -z "$KC_APT_LOCKED" ] || return 1
    KC_APT_UPDATE_FAILED="$(tail -n +"$from" "$2" | grep -m 1 '^E: ' | sed 's/^E: //; s/ *\[IP: [^]]*\]//')"
    [ $try = 3 ] && break
    echo "$1: apt-get update failed (${KC_APT_UPDATE_FAILED:-no reason given}); trying again in $((try * 10)) s" >&2
    sleep $((try * 10))
  done
  echo "$1: apt-get update failed 3 times; going on with the package lists there are" >&2
  return 1
}

# Does this host run 32-bit x86 code natively? scripts/probe32.c, built and run in the build folder
# as a child process, asks the processor and the kernel; an i386 emulator registered with binfmt
# cannot fool it. Only a fault signal or the probe's own "no" (exit 3) means no. Returns 0 (yes),
# 1 (no) or 2 (the probe could not answer; KC_PROBE32_WHY says why). The answer is kept in
# KC_HOST32 (1 or 0; KC_HOST32_BY=probe when the probe gave it), and a failure in KC_PROBE32_WHY,
# for the child scripts.
kc_host_runs_32bit() {
  if [ -z "${KC_HOST32:-}" ]; then
    [ -z "${KC_PROBE32_WHY:-}" ] && kc_probe32
    if [ -n "${KC_PROBE32_WHY:-}" ]; then export KC_PROBE32_WHY; return 2; fi
    export KC_HOST32 KC_HOST32_BY=probe
  fi
  [ "$KC_HOST32" = 1 ]
}

kc_probe32() {
  local dir rc=0
  if ! command -v gcc >/dev/null; then
    local log="$BUILD32/setup-logs/probe-gcc.log"
    echo "env: installing gcc for the 32-bit probe (log $log)" >&2
    kc_apt_update env "$log" || [ -z "$KC_APT_LOCKED" ] ||
      { KC_PROBE32_WHY="gcc is not installed, and the apt lock stayed held"; return; }
    kc_apt_get env "$log" install -y -q --no-install-recommends gcc libc6-dev ||
      kc_step_failed env "installing gcc" "$log"
    command -v gcc >/dev/null || { KC_PROBE32_WHY="gcc is not installed and could not be installed"; return; }
  fi
  mkdir -p "$BUILD32" 2>/dev/null && dir="$(mktemp -d "$BUILD32/probe32.XXXXXX" 2>/dev/null)" ||
    { KC_PROBE32_WHY="cannot make a folder for it in $BUILD32"; return; }
  if ! gcc -O1 -no-pie -o "$dir/probe32" "$ROOT/scripts/probe32.c" 2>"$dir/cc.log"; then
    KC_PROBE32_WHY="it does not compile ($(grep -m 1 'error' "$dir/cc.log" || head -n 1 "$dir/cc.log"))"
  else
    # In a group whose output goes nowhere, so that bash's report of a signal goes nowhere too.
    { "$dir/probe32"; rc=$?; } >/dev/null 2>&1
    case $rc in
      0) KC_HOST32=1 ;;
      3 | 132 | 133 | 135 | 139) KC_HOST32=0 ;; # its own no; SIGILL, SIGTRAP, SIGBUS, SIGSEGV
      126) KC_PROBE32_WHY="$BUILD32 does not let it run (exit 126: mounted noexec?)" ;;
      *) KC_PROBE32_WHY="it ended with status $rc$( ((rc > 128)) && echo " (SIG$(kill -l $((rc - 128))))")" ;;
    esac
  fi
  rm -rf "$dir"
}

# Chooses the road and says which in one line. Where the host runs 32-bit code, the packages are
# settled first (scripts/setup --packages): without wine32 the 64-bit road is taken. Returns
# non-zero when the probe cannot answer and neither KC_HOST32 nor KC_WIN64 names the road, or when
# the packages cannot be installed.
kc_choose_road() {
  local why="" host32=0
  kc_host_runs_32bit || host32=$?
  if [ $host32 = 2 ]; then
    if [ "${KC_WIN64:-0}" != 1 ]; then
      echo "host: the 32-bit probe (scripts/probe32.c) could not answer: $KC_PROBE32_WHY." \
        "Name the road with KC_HOST32=1 or 0, or KC_WIN64=1." >&2
      return 1
    fi
    why="KC_WIN64=1 (the 32-bit probe could not answer: $KC_PROBE32_WHY)"
  elif [ $host32 = 1 ]; then
    why="KC_HOST32=0"
    [ "${KC_HOST32_BY:-}" != probe ] || why="this kernel runs no 32-bit code"
  elif [ "${KC_WIN64:-0}" = 1 ]; then
    why="KC_WIN64=1"
  else
    "$ROOT/scripts/setup" --packages "$BUILD32" || return 1
    [ -z "$(kc_missing_pkgs "${KC_I386_PKGS[@]}")" ] ||
      why="runs 32-bit code, but wine32 could not be installed ($(cat "$BUILD32/wine32.missing" 2>/dev/null))"
  fi
  if [ -z "$why" ]; then
    echo "host: runs 32-bit code; the i686 build in $BUILD32 runs under wine32"
    return 0
  fi
  # This road runs no i386 Wine: the set-ups of this run leave it out.
  export KC_WINE32=0
  KC_ROAD=win64
  KC_ROAD_ARCH=x86_64
  BUILD="${KC_BUILD64:-$ROOT/build64}"
  DEPS_PREFIX="$BUILD/deps/prefix"
  KC_WINE=/usr/lib/wine/wine64
  export WINELOADER="$KC_WINE"
  export WINEPREFIX="$BUILD/wineprefix"
  export WINEARCH=win64
  KC_START_LOG="$BUILD/wine-start.log"
  echo "host: $why; the i686 deliverables are built in $BUILD32, and a 64-bit build in $BUILD runs under wine64"
}

# kc_configure [build-folder arch]: the road's build by default.
kc_configure() {
  local build="${1:-$BUILD}" arch="${2:-$KC_ROAD_ARCH}" deps
  if [ "$build" = "$BUILD32" ]; then deps="${KC_DEPS_PREFIX:-$build/deps/prefix}"; else deps="$build/deps/prefix"; fi
  # The 64-bit tests also read the i686 deliverables as data.
  cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DKC_DEPS_PREFIX="$deps" -DCMAKE_BUILD_TYPE=Release -DKC_I686_BUILD="$BUILD32" >/dev/null
}

# Installs, configures and builds the i686 tree and, on the 64-bit road, the 64-bit tree too.
# Arguments: the i686 targets (all when none), then "--" and the 64-bit ones (all when none).
kc_build() {
  local t32=() t64=() seen=0 a
  for a in "$@"; do
    if [ "$a" = -- ]; then seen=1; elif [ $seen = 0 ]; then t32+=(--target "$a"); else t64+=(--target "$a"); fi
  done
  "$ROOT/scripts/setup" "$BUILD32" || return 1
  kc_configure "$BUILD32" i686 || return 1
  cmake --build "$BUILD32" -j"${KC_JOBS:-$(nproc)}" "${t32[@]}" || return 1
  [ "$KC_ROAD" = win64 ] || return 0
  KC_ARCH=x86_64 "$ROOT/scripts/setup" "$BUILD" || return 1
  kc_configure "$BUILD" x86_64 || return 1
  cmake --build "$BUILD" -j"${KC_JOBS:-$(nproc)}" "${t64[@]}"
}

# A failure of the first start-up attempt goes to the log only (kc_start_twice starts again);
# one of the second is reported with the first one's cause.
kc_fail() {
  if [ "${KC_START_ATTEMPT:-}" = 1 ]; then
    KC_START_FIRST_CAUSE="$*"
    echo "== $(date -u +%T) attempt 1 failed: $*" >>"$KC_START_LOG"
    return 1
  fi
  if [ "${KC_START_ATTEMPT:-}" = 2 ] && [ "$*" = "$KC_START_FIRST_CAUSE" ]; then
    echo "kc_start_wine: $* (on both attempts)" >&2
  elif [ "${KC_START_ATTEMPT:-}" = 2 ]; then
    echo "kc_start_wine: $* (on the second attempt; the first: $KC_START_FIRST_CAUSE)" >&2
  else
    echo "kc_start_wine: $*" >&2
  fi
  if [ -s "$KC_START_LOG" ]; then
    echo "kc_start_wine: last lines of $KC_START_LOG:" >&2
    tail -n 15 "$KC_START_LOG" >&2
  fi
  return 1
}

# Runs a start-up step with no terminal or pipe of ours attached (Wine's service processes inherit
# them and would keep a caller waiting forever) and with a time limit.
kc_detached() { # seconds command...
  local limit="$1"; shift
  echo "== $(date -u +%T) $*" >>"$KC_START_LOG"
  timeout "$limit" "$@" </dev/null >>"$KC_START_LOG" 2>&1
}

# Process ids of the live Wine processes (the server included) of this prefix.
kc_wine_pids() {
  local dir pid exe
  for dir in /proc/[0-9]*; do
    pid="${dir#/proc/}"
    exe="$(readlink "$dir/exe" 2>/dev/null)" || continue
    case "${exe##*/}" in wine*) ;; *) continue ;; esac
    tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  return 0
}

# Waits until no process of the prefix is left, its server included.
kc_wait_wine_gone() {
  kc_detached 180 wineserver -w || return 1
  local _
  for _ in $(seq 100); do
    [ -z "$(kc_wine_pids)" ] && return 0
    sleep 0.1
  done
  return 1
}

# Starts Xvfb on a display no other server holds and waits until it answers. Xvfb picks the
# number itself (-displayfd): it binds the first free display socket, which is atomic, and
# writes the number only once it accepts connections.
kc_start_xvfb() {
  local numfile n="" _
  command -v Xvfb >/dev/null || { kc_fail "Xvfb is not installed (run scripts/setup)"; return 1; }
  numfile="$(mktemp "${TMPDIR:-/tmp}/kc-display.XXXXXX")" || { kc_fail "cannot make a temporary file"; return 1; }
  echo "== $(date -u +%T) Xvfb -displayfd" >>"$KC_START_LOG"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" </dev/null >>"$KC_START_LOG" 2>&1 &
  KC_XVFB_PID=$!
  for _ in $(seq 300); do
    if [ "$(tail -c 1 "$numfile" | wc -l)" = 1 ]; then n="$(head -n 1 "$numfile")"; break; fi
    kill -0 "$KC_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -z "$n" ]; then
    kill "$KC_XVFB_PID" 2>/dev/null; wait "$KC_XVFB_PID" 2>/dev/null; KC_XVFB_PID=""
    kc_fail "Xvfb did not start (no display within 30 s)"; return 1
  fi
  export DISPLAY=":$n"
  echo "== display $DISPLAY (Xvfb $KC_XVFB_PID)" >>"$KC_START_LOG"
  if command -v xwd >/dev/null && ! kc_detached 30 xwd -root -silent -out /dev/null; then
    kc_fail "Xvfb on $DISPLAY does not answer"; return 1
  fi
}

# The prefix is complete when Wine's own update stamp matches the installed Wine and the project's
# settings file (scripts/wineprefix.reg) has been imported in its current form.
kc_prefix_stamp() {
  local reg="$ROOT/scripts/wineprefix.reg"
  if [ -f "$reg" ]; then sha256sum <"$reg" | cut -d' ' -f1; else echo none; fi
}

kc_prefix_current() {
  local inf stamp
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/user.reg" ] &&
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] || return 1
  [ "$(cat "$WINEPREFIX/.kc-prefix" 2>/dev/null)" = "$(kc_prefix_stamp)" ] || return 1
  # Wine updates a prefix on the next start after Wine itself changed; do it here instead.
  for inf in /usr/share/wine/wine.inf /usr/share/wine/wine/wine.inf /opt/wine*/share/wine/wine.inf; do
    [ -f "$inf" ] || continue
    stamp="$(head -n 1 "$WINEPREFIX/.update-timestamp" 2>/dev/null | tr -d "\r")"
    [ "$stamp" = disable ] || [ "$stamp" = "$(stat -c %Y "$inf")" ] || return 1
    break
  done
}

# Creates or updates the prefix synchronously, with a server of its own that ends with it.
kc_prepare_prefix() {
  local reg="$ROOT/scripts/wineprefix.reg"
  kc_prefix_current && return 0
  rm -f "$WINEPREFIX/.kc-prefix"
  mkdir -p "$WINEPREFIX"
  kc_detached 600 "$KC_WINE" wineboot --init ||
    { kc_detached 30 wineserver -k; kc_fail "creating the Wine prefix $WINEPREFIX failed"; return 1; }
  if [ -f "$reg" ]; then
    kc_detached 120 "$KC_WINE" reg import "Z:${reg//\//\\}" ||
      { kc_detached 30 wineserver -k; kc_fail "importing $reg into $WINEPREFIX failed"; return 1; }
  fi
  kc_wait_wine_gone ||
    { kc_detached 30 wineserver -k; kc_fail "the Wine processes setting up $WINEPREFIX did not end"; return 1; }
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/user.reg" ] &&
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] ||
    { kc_fail "the Wine prefix $WINEPREFIX is incomplete after set-up"; return 1; }
  kc_prefix_stamp >"$WINEPREFIX/.kc-prefix"
}

# Opens the start-up log (kept, so a failure can be read afterwards).
kc_start_log() {
  mkdir -p "$BUILD" 2>/dev/null && : >>"$KC_START_LOG" 2>/dev/null ||
    { echo "kc_start_wine: cannot write $KC_START_LOG" >&2; return 1; }
}

# Prefix complete, persistent server running and proven, every service of the prefix started
# with no pipe of ours. For a caller that brings its own display (the demo on a desktop).
# A server left by an earlier run on this prefix (the build's own) is stopped first.
kc_start_wineserver() {
  kc_start_log || return 1
  kc_start_twice kc_start_wineserver_once
}

# Runs a start-up step; when it fails, stops what it started and runs it once more. A Wine start
# on a loaded machine fails now and then for nothing.
kc_start_twice() {
  local rc=0
  KC_START_ATTEMPT=1 KC_START_FIRST_CAUSE="unknown"
  if ! "$@"; then
    kc_stop_wine
    echo "== $(date -u +%T) stopped what attempt 1 started; attempt 2" >>"$KC_START_LOG"
    KC_START_ATTEMPT=2
    "$@" || rc=1
  fi
  KC_START_ATTEMPT=""
  return $rc
}

kc_start_wineserver_once() {
  command -v "$KC_WINE" >/dev/null && command -v wineserver >/dev/null ||
    { kc_fail "wine is not installed (run scripts/setup)"; return 1; }
  if [ -n "$(kc_wine_pids)" ]; then
    echo "kc_start_wine: stopping the Wine processes left on $WINEPREFIX" >&2
    kc_detached 30 wineserver -k
    kc_wait_wine_gone || { kc_fail "Wine processes left on $WINEPREFIX do not end"; return 1; }
  fi
  kc_prepare_prefix || return 1
  # Without -f the server listens on its socket, then forks; the command returns once the forked
  # server runs (status 2: another server already holds the prefix).
  kc_detached 60 wineserver -p || { kc_fail "the persistent Wine server did not start"; return 1; }
  KC_WINE_STARTED=1
  kc_detached 300 "$KC_WINE" cmd /c exit ||
    { kc_fail "the Wine server does not run programs (wine cmd /c exit failed)"; return 1; }
}

# Xvfb on a free display plus the Wine start-up above. On failure it prints why, leaves nothing
# running and returns non-zero.
kc_start_wine() {
  # A second start in one shell replaces the first instead of leaving its Xvfb behind.
  [ -z "${KC_XVFB_PID:-}${KC_WINE_STARTED:-}" ] || kc_stop_wine
  kc_start_log && : >"$KC_START_LOG" || return 1
  kc_start_twice kc_start_xvfb_and_wine || { kc_stop_wine; return 1; }
}

kc_start_xvfb_and_wine() { kc_start_xvfb && kc_start_wineserver_once; }

kc_stop_wine() {
  if [ -n "${KC_WINE_STARTED:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1
    timeout 60 wineserver -w </dev/null >/dev/null 2>&1
  fi
  KC_WINE_STARTED=""
  if [ -n "${KC_XVFB_PID:-}" ]; then
    kill "$KC_XVFB_PID" 2>/dev/null && wait "$KC_XVFB_PID" 2>/dev/null
    KC_XVFB_PID=""
  fi
  return 0
}
