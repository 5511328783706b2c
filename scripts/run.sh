#!/usr/bin/env bash
# Plays the client locally: installs what is missing, builds, starts the local game server
# (hqlv-server) and the stand-in hall (hqlv-hall), and the hall starts the client (hqlv) in
# a window on your display. Without a display the client runs on a virtual one (Xvfb),
# and this script says so. Ctrl-C, or closing the client's window, ends all three.
# HQLV_ROOM_KIND=system plays a room where the system seats the players; HQLV_ROOM_KIND=silver
# a room that checks the silver carried at the start against HQLV_SILVER_RANGE (MIN:MAX, the
# player carries 10000; 1000:100000 unless given).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHQLV_TESTS=OFF \
      -DHQLV_BENCH=OFF >/dev/null
cmake --build "$build" --target hqlv hqlv-server hqlv-hall -j "$(nproc)"

work=$(mktemp -d /tmp/hqlv-run-XXXXXX)
server_pid=""
hall_pid=""
xvfb_pid=""

cleanup() {
  trap - INT TERM EXIT
  if [ -n "$hall_pid" ] && kill -0 "$hall_pid" 2>/dev/null; then
    kill -TERM "$hall_pid" 2>/dev/null || true   # the hall ends the client first
    wait "$hall_pid" 2>/dev/null || true
  fi
  if [ -n "$server_pid" ]; then
    echo quit >&4 2>/dev/null || true
    exec 4>&- 2>/dev/null || true
    sleep 0.2
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  echo "run: stopped"
}
trap cleanup INT TERM EXIT

# A display for the client's window.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  echo "run: no display found; the client runs on a virtual display (Xvfb :$n)."
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  export DISPLAY=":$n"
  export QT_QPA_PLATFORM=xcb
fi

# The room: the hall's room 3, of the kind asked for.
room_server=()
room_hall=()
case "${HQLV_ROOM_KIND:-plain}" in
  plain) ;;
  system) room_server=(--system-room 3); room_hall=(--room-kind system) ;;
  silver) room_server=(--silver-room "3:${HQLV_SILVER_RANGE:-1000:100000}")
          room_hall=(--room-kind silver) ;;
  *) echo "run: HQLV_ROOM_KIND is plain, system or silver" >&2; exit 2 ;;
esac

# The local game server, kept alive by an open command pipe.
mkfifo "$work/server.in"
"$build/tools/server/hqlv-server" --port 0 --standings "$work/standings" "${room_server[@]}" \
    <"$work/server.in" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
exec 4>"$work/server.in"
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "run: the game server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
echo "run: game server on 127.0.0.1:$port (log: $work/server.log)"

# The hall; it starts the client and ends when the client ends.
"$build/tools/hall/hqlv-hall" --client "$PWD/$build/mahjong/hqlv" \
    --server "127.0.0.1:$port" --standings "$work/standings" "${room_hall[@]}" </dev/null &
hall_pid=$!
echo "run: hall started; close the client's window or press Ctrl-C to stop"
wait "$hall_pid" || true
hall_pid=""
