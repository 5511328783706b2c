#!/usr/bin/env bash
# The client's processor time at the table, as a fraction of one core, beside the frames its
# table view ran: 30 seconds at an idle table (before the start), then 30 seconds of a deal
# with the local server's seats playing. The client is the Release build the run command
# makes (build/run), started by the stand-in hall on a virtual display of its own.
#
#   bash bench/client_cpu.sh [SECONDS]
#
# Prints two lines such as
#   idle: cpu 0.004 of a core over 30 s, frames 0 (wakes 0, drawn 0)
#   deal: cpu 0.061 of a core over 30 s, frames 812 (wakes 951, drawn 702)
# Needs Xvfb and xdotool (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

span=${1:-30}
build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHQLV_TESTS=OFF \
      -DHQLV_BENCH=OFF >/dev/null
cmake --build "$build" --target hqlv hqlv-server hqlv-hall >/dev/null

work=$(mktemp -d /tmp/hqlv-cpu-XXXXXX)
xvfb_pid="" server_pid="" hall_pid=""
cleanup() {
  trap - INT TERM EXIT
  if [ -n "$hall_pid" ]; then
    echo close >&5 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$hall_pid" 2>/dev/null || break; sleep 0.1; done
    kill -TERM "$hall_pid" 2>/dev/null || true
    wait "$hall_pid" 2>/dev/null || true
  fi
  if [ -n "$server_pid" ]; then
    echo quit >&4 2>/dev/null || true
    sleep 0.2
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup INT TERM EXIT

# A display nobody uses.
n=$((150 + $$ % 100))
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy

# The server on a fixed seed, kept alive by an open command pipe.
mkfifo "$work/server.in" "$work/hall.in"
"$build/tools/server/hqlv-server" --port 0 --seed 7 <"$work/server.in" >"$work/server.out" \
    2>"$work/server.log" &
server_pid=$!
exec 4>"$work/server.in"
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "client_cpu: the server did not start" >&2; exit 1; }

mkdir -p "$work/log" "$work/run"
HQLV_LOG_DIR="$work/log" HQLV_RUNTIME_DIR="$work/run" HQLV_FRAME_STATS="$work/frames" \
  "$build/tools/hall/hqlv-hall" --client "$PWD/$build/mahjong/hqlv" \
    --server "127.0.0.1:$port" --root "$work/root" --log "$work/hall.log" \
    <"$work/hall.in" 2>/dev/null &
hall_pid=$!
exec 5>"$work/hall.in"

client=""
for _ in $(seq 300); do
  client=$(sed -n 's/.*client pid \([0-9]*\).*/\1/p' "$work/hall.log" 2>/dev/null | head -1 || true)
  [ -n "$client" ] && break
  sleep 0.1
done
[ -n "$client" ] || { echo "client_cpu: the client did not start" >&2; exit 1; }
# The table is up once the client has logged its buttons' places on the screen.
start=""
for _ in $(seq 600); do
  start=$(cat "$work"/log/*.log 2>/dev/null | grep -a '屏幕:' | tail -1 |
          sed -n 's/.*开始=\([0-9-]*\),\([0-9-]*\).*/\1 \2/p' || true)
  [ -n "$start" ] && [ -s "$work/frames" ] && break
  sleep 0.1
done
[ -n "$start" ] || { echo "client_cpu: the table did not come up" >&2; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$client/stat"; }
frames() { cat "$work/frames"; }
hz=$(getconf CLK_TCK)

# One measured span: processor ticks and the view's frame counts before and after.
measure() {
  local name=$1 t0 t1 f0 f1
  sleep 2  # the counts are written once a second
  t0=$(ticks); f0=$(frames)
  sleep "$span"
  sleep 1
  t1=$(ticks); f1=$(frames)
  set -- $f0; local w0=$2 fr0=$4 d0=$6
  set -- $f1; local w1=$2 fr1=$4 d1=$6
  awk -v n="$name" -v d=$((t1 - t0)) -v hz="$hz" -v s="$((span + 1))" \
      -v fr=$((fr1 - fr0)) -v w=$((w1 - w0)) -v dr=$((d1 - d0)) \
      'BEGIN { printf "%s: cpu %.3f of a core over %d s, frames %d (wakes %d, drawn %d)\n",
               n, d / hz / s, s, fr, w, dr }'
}

sleep 3  # the first frames of the table
measure idle

# The start button: the server seats its players and deals.
xdotool mousemove $start click 1 >/dev/null 2>&1 || true
for _ in $(seq 100); do
  grep -q "deal: started" "$work/server.log" && break
  sleep 0.1
done
grep -q "deal: started" "$work/server.log" || { echo "client_cpu: no deal started" >&2; exit 1; }
measure deal
