# Sourced by scripts that run Windows programs: starts Xvfb when there is no
# display, creates the Wine prefix and keeps one wineserver alive until the
# calling script exits.

qxt_session_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
  fi
  if [ -n "${QXT_XVFB_PID:-}" ]; then
    kill "$QXT_XVFB_PID" 2>/dev/null || true
    wait "$QXT_XVFB_PID" 2>/dev/null || true
  fi
}

# shellcheck source=scripts/wine-env.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

qxt_session_start() {
  local prefix=$1
  trap qxt_session_stop EXIT
  if [ -z "${DISPLAY:-}" ]; then
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    QXT_XVFB_PID=$!
    local display
    read -r -t 30 display <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
  fi
  export WINEPREFIX=$prefix
  export WINEDEBUG=-all
  # winemenubuilder would turn every shortcut a test saves into a menu entry
  # of the Linux user, outside the prefix (and keep the test's folder busy).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  "$(dirname "${BASH_SOURCE[0]}")/wine-prefix" "$prefix"
  wineserver -p </dev/null >/dev/null 2>&1 || true
  # Start Wine's own background processes (services, explorer, device manager)
  # now, detached from our output: started by a test they would inherit the
  # test's output pipe and keep ctest waiting for it to close.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
