# A private X server for the scripts, started one way everywhere: Xvfb picks
# a free display number itself and tells it through -displayfd, so two runs
# never race for one. Source this file, then:
#
#   start_xvfb SCRATCH_FOLDER WIDTHxHEIGHT   # sets DISPLAY and XVFB_PID
#   stop_xvfb                                # in the caller's clean-up
#
# Waits at most 10 s for the server, then fails.
#
# XVFB_DISPLAY=N asks for display :N instead, for a machine where each user
# is given a display number of their own.

start_xvfb() {
  local scratch=$1 size=$2
  exec 3>"$scratch/xvfb-display"
  if [ -n "${XVFB_DISPLAY:-}" ]; then
    Xvfb ":${XVFB_DISPLAY#:}" -screen 0 "${size}x24" -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  else
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  fi
  XVFB_PID=$!
  exec 3>&-
  local _
  for _ in $(seq 200); do
    if [ -n "${XVFB_DISPLAY:-}" ]; then
      # Ready once its socket is there; gone if the number was taken.
      [ -S "/tmp/.X11-unix/X${XVFB_DISPLAY#:}" ] && echo "${XVFB_DISPLAY#:}" >"$scratch/xvfb-display"
      kill -0 "$XVFB_PID" 2>/dev/null || break
    fi
    [ -s "$scratch/xvfb-display" ] && break
    sleep 0.05
  done
  if [ ! -s "$scratch/xvfb-display" ]; then
    echo "Xvfb did not start (log: $scratch/xvfb.log)" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$scratch/xvfb-display")"
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
