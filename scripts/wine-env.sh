# Sourced by scripts/test and scripts/run: the Wine environment our Windows
# programs run in. Defines wine_start and wine_stop; wine_stop ends everything
# wine_start began, so callers put it in an EXIT trap.
#
#   WINEPREFIX   a private prefix in the win32 build tree, created on first use
#                with font replacements for the faces our windows ask for;
#   wineserver   one persistent server for the whole run, so that a program
#                start does not pay for a server start;
#   DISPLAY      an Xvfb display of our own unless the caller asks to use the
#                current one (WINE_USE_DISPLAY=1 and DISPLAY set).

: "${ROOT:?ROOT must name the repository}"

export WINEPREFIX=${WINEPREFIX:-$ROOT/build/win32/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs when the prefix is made, and no Wine
# debugger attaching to a crashing process: our programs report their own
# crashes, and an attached debugger waits for input that never comes.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
# No QEMU_RESERVED_VA: the emulator route's qemu 10 (scripts/route.sh) starts
# a process as fast without it (qemu 7.2 needed 0x80400000 for that).

_wine_xvfb_pid=
_wine_started_server=

_wine_log() { echo "wine-env: $*" >&2; }

_wine_free_display() {
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

_wine_start_xvfb() {
  local n
  n=$(_wine_free_display) || {
    _wine_log "no free X display number"
    return 1
  }
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$ROOT/build/win32/xvfb.log" 2>&1 &
  _wine_xvfb_pid=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    kill -0 "$_wine_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  _wine_log "Xvfb did not start (see build/win32/xvfb.log)"
  return 1
}

# Font replacements: Windows face names resolve to metric-compatible faces
# ("MS Sans Serif" is Wine's own bitmap font from fonts-wine).
_wine_font_reg() {
  cat <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
"Courier"="Liberation Mono"

REG
}

# Waits for every process of the prefix to end, at most the given seconds;
# then ends them.
_wine_settle() {
  timeout "$1" wineserver -w || wineserver -k >/dev/null 2>&1 || true
}

_wine_make_prefix() {
  [ -f "$WINEPREFIX/.adrelo-ready" ] && return 0
  local log="$ROOT/build/win32/wineboot.log" reg="$ROOT/build/win32/fonts.reg"
  _wine_font_reg >"$reg"
  _wine_log "creating the Wine prefix in $WINEPREFIX (once; under a minute)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Bounded, so that a Wine that hangs fails the run instead of holding it.
  timeout 180 wineboot -i >"$log" 2>&1
  _wine_settle 120
  timeout 60 wine regedit /S "Z:${reg//\//\\}" >>"$log" 2>&1
  _wine_settle 60
  if grep -q 'Liberation Sans' "$WINEPREFIX/user.reg" 2>/dev/null; then
    touch "$WINEPREFIX/.adrelo-ready"
    return 0
  fi
  _wine_log "the prefix is incomplete (see $log)"
  return 1
}

wine_start() {
  mkdir -p "$ROOT/build/win32"
  if [ "${WINE_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    _wine_start_xvfb || return 1
  fi
  wineserver -k >/dev/null 2>&1 || true
  _wine_make_prefix || return 1
  # A persistent server for the rest of the run; its output goes to a file so
  # that it does not hold the caller's standard output open.
  wineserver -p >"$ROOT/build/win32/wineserver.log" 2>&1 </dev/null &
  _wine_started_server=1
  # The first program of a session starts Wine's background services; start
  # them here, detached from every pipe, so that no test runner waits for
  # their output to end.
  if ! timeout 120 wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1; then
    _wine_log "Wine cannot start a program in $WINEPREFIX"
    return 1
  fi
  # Our Xvfb display has no window manager. Wine's X11 driver, when it hides a
  # window it takes as managed, waits up to 2 s for a window manager to
  # withdraw it (so each closed window cost 2 s); told that no window manager
  # manages its windows, it does not wait. On the caller's display the window
  # manager manages them as usual.
  local managed=N
  [ -n "$_wine_xvfb_pid" ] || managed=Y
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f \
    </dev/null >/dev/null 2>&1 || _wine_log "could not set the X11 driver's Managed value"
}

wine_stop() {
  if [ -n "$_wine_started_server" ]; then
    wineserver -k >/dev/null 2>&1 || true
    _wine_started_server=
  fi
  if [ -n "$_wine_xvfb_pid" ]; then
    kill "$_wine_xvfb_pid" 2>/dev/null || true
    wait "$_wine_xvfb_pid" 2>/dev/null || true
    _wine_xvfb_pid=
  fi
}
