# Sourced: start_xvfb starts a private X server and exports DISPLAY;
# stop_xvfb ends it. Used where no display is given.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  TAMBER_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}

stop_xvfb() {
  [ -n "${TAMBER_XVFB_PID:-}" ] && kill "$TAMBER_XVFB_PID" 2>/dev/null
  TAMBER_XVFB_PID=
}
