#!/usr/bin/env bash
# xvfb.sh start|stop NUMBER FOLDER
# Starts an Xvfb server on the display :NUMBER for the Windows programs with windows that
# the tests run under Wine, or stops the one started before. FOLDER keeps the server's
# process id and log. The number is the build folder's own (see PravikTesting.cmake), so
# build folders testing at the same time do not meet; a server of somebody else on it is
# an error rather than a display to share.
set -euo pipefail
action=$1 number=$2 folder=$3
pidfile=$folder/xvfb.pid

running() { [ -d "/proc/$1" ] && [ "$(cat "/proc/$1/comm" 2>/dev/null)" = Xvfb ]; }
# The server just started: a child of this shell, until it exits (and is a zombie).
alive() { kill -0 "$1" 2>/dev/null && ! grep -q ') Z ' "/proc/$1/stat" 2>/dev/null; }

stop() {
  [ -f "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  if running "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do running "$pid" || break; sleep 0.1; done
    if running "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$pidfile"
}

case $action in
  stop)
    stop
    ;;
  start)
    mkdir -p "$folder"
    stop  # one left behind by a test run that was killed
    lock=/tmp/.X$number-lock
    if [ -f "$lock" ]; then
      holder=$(tr -dc 0-9 <"$lock" || true)
      if [ -n "$holder" ] && [ -d "/proc/$holder" ]; then
        echo "xvfb.sh: display :$number is taken by process $holder;" \
             "configure this build folder with another -DPRAVIK_DISPLAY_NUMBER=" >&2
        exit 1
      fi
    fi
    # Xvfb tells its parent by SIGUSR1 that it accepts connections, when it finds that
    # signal ignored. (Its -displayfd would tell too but leaves out the lock file by which
    # other X servers see the display taken.) Its output goes to the log: ctest waits for a
    # test's output to close, which the server must not hold open.
    ready=0
    trap 'ready=1' USR1
    (trap '' USR1; exec Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset \
      </dev/null >"$folder/xvfb.log" 2>&1) &
    pid=$!
    echo "$pid" >"$pidfile"
    for _ in $(seq 100); do
      if [ "$ready" = 1 ]; then
        echo "xvfb.sh: display :$number ready, process $pid"
        exit 0
      fi
      alive "$pid" || break
      sleep 0.1
    done
    echo "xvfb.sh: Xvfb on :$number did not come up:" >&2
    cat "$folder/xvfb.log" >&2
    stop
    exit 1
    ;;
  *)
    echo "usage: xvfb.sh start|stop NUMBER FOLDER" >&2
    exit 2
    ;;
esac
