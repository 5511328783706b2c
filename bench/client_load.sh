#!/usr/bin/env bash
# What the client costs the machine it runs on. Builds the programs as scripts/run.sh does
# (Release), starts the local game server, the stand-in hall and through it the client on a
# virtual display (Xvfb) of its own, and prints, for the client at an idle table and then in
# the middle of a deal: the resident memory of the client and of each of its helper
# processes (the browser engine's) and of all together, their threads, and the CPU they
# used as a fraction of one core. Memory three ways: RSS (the sum of RSS counts a library's
# pages once for every process that maps it), PSS (each shared page divided among all the
# processes of the machine that map it) and, for all together, each resident page once.
#
#   bash bench/client_load.sh [seconds per window (10)]
#
# Environment: HQLV_LOAD_ENV="NAME=value ..." is given to the client (e.g.
# QT_XCB_GL_INTEGRATION=none); HQLV_LOAD_BUILD names another build folder (built as is);
# HQLV_LOAD_KEEP=1 keeps the run's folder (logs) and prints where it is.
set -euo pipefail
cd "$(dirname "$0")/.."

window=${1:-10}
build=${HQLV_LOAD_BUILD:-}
if [ -z "$build" ]; then
  bash scripts/setup.sh
  build=build/run
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHQLV_TESTS=OFF \
        -DHQLV_BENCH=OFF >/dev/null
  cmake --build "$build" --target hqlv hqlv-server hqlv-hall -j "$(nproc)" >/dev/null
fi

work=$(mktemp -d /tmp/hqlv-load-XXXXXX)
server_pid="" hall_pid="" xvfb_pid=""
cleanup() {
  trap - INT TERM EXIT
  if [ -n "$hall_pid" ] && kill -0 "$hall_pid" 2>/dev/null; then
    kill -TERM "$hall_pid" 2>/dev/null || true  # the hall ends the client first
    wait "$hall_pid" 2>/dev/null || true
  fi
  if [ -n "$server_pid" ]; then
    exec 4>&- 2>/dev/null || true
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [ "${HQLV_LOAD_KEEP:-0}" = 1 ]; then echo "load: the run's folder is $work"; else rm -rf "$work"; fi
}
trap cleanup INT TERM EXIT

fail() {
  echo "load: $*" >&2
  exit 1
}

# A virtual display of our own.
n=120
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$n" ] || fail "Xvfb :$n did not start"
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb

# The server deals with a fixed seed; its three other seats think a second a move, so a
# deal lasts minutes.
mkfifo "$work/server.in"
"$build/tools/server/hqlv-server" --port 0 --seed 7 --think 1000 --turn 8 \
    <"$work/server.in" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
exec 4>"$work/server.in"
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the game server did not start: $(cat "$work/server.log")"

mkdir -p "$work/run" "$work/log"
# shellcheck disable=SC2086
env HQLV_RUNTIME_DIR="$work/run" HQLV_LOG_DIR="$work/log" ${HQLV_LOAD_ENV:-} \
    "$build/tools/hall/hqlv-hall" --client "$PWD/$build/mahjong/hqlv" \
    --server "127.0.0.1:$port" --root "$work/root" --log "$work/hall.log" \
    </dev/null >/dev/null 2>"$work/client.err" &
hall_pid=$!

client_log() { cat "$work"/log/*.log 2>/dev/null || true; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

client=""
find_client() { client=$(sed -n 's/.*client pid \([0-9]*\).*/\1/p' "$work/hall.log" 2>/dev/null | head -1); [ -n "$client" ]; }
wait_for 30 find_client || fail "the hall did not start the client"
pane=""
table_pane() { pane=$(client_log | sed -n 's/.*table pane \([0-9]*\) x \([0-9]*\).*/\1 \2/p' | tail -1); [ -n "$pane" ]; }
wait_for 60 table_pane || fail "the client did not reach its table: $(client_log | tail -5)"

# The client and every process below it (the browser engine's helpers).
family() {
  local all=("$1") i=0 kids
  while [ $i -lt ${#all[@]} ]; do
    kids=$(cat "/proc/${all[$i]}/task/"*/children 2>/dev/null || true)
    for k in $kids; do all+=("$k"); done
    i=$((i + 1))
  done
  echo "${all[@]}"
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
hz=$(getconf CLK_TCK)

# The resident pages the processes hold together, each physical page counted once (two
# processes that map one library share its pages); needs the page frame numbers, which
# only root may read: "-" otherwise.
together_mb() {
  python3 - "$@" <<'PY'
import struct, sys
frames = set()
try:
    for pid in sys.argv[1:]:
        with open(f"/proc/{pid}/maps") as maps, open(f"/proc/{pid}/pagemap", "rb") as pm:
            for line in maps:
                lo, hi = (int(x, 16) for x in line.split()[0].split("-"))
                if lo >= 1 << 47:
                    continue  # [vsyscall]
                pm.seek(lo // 4096 * 8)
                data = pm.read((hi - lo) // 4096 * 8)
                for (e,) in struct.iter_unpack("<Q", data):
                    if e >> 63 and e & ((1 << 55) - 1):
                        frames.add(e & ((1 << 55) - 1))
    print(f"{len(frames) * 4096 / 2**20:.1f}" if frames else "-")
except OSError:
    print("-")
PY
}

# measure NAME: one window of the given seconds.
measure() {
  local name=$1 pids p t0 t1 start end
  pids=$(family "$client")
  declare -A before
  for p in $pids; do before[$p]=$(ticks "$p"); done
  start=$(date +%s.%N)
  sleep "$window"
  end=$(date +%s.%N)
  pids=$(family "$client")
  local rss_total=0 pss_total=0 threads_total=0 cpu_total=0
  echo "== $name ($window s)"
  printf '  %-30s %8s %8s %8s %8s\n' process "RSS MB" "PSS MB" threads "CPU"
  for p in $pids; do
    [ -r "/proc/$p/status" ] || continue
    local rss pss thr what cpu
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$p/status")
    pss=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    thr=$(awk '/^Threads:/ {print $2}' "/proc/$p/status")
    what="helper $(tr '\0' '\n' <"/proc/$p/cmdline" | sed -n 's/^--type=//p')"
    [ "$p" = "$client" ] && what="hqlv (client)"
    # A renderer forked by a zygote keeps the zygote's command line.
    [ "$what" = "helper zygote" ] && [ "$thr" -gt 1 ] && what="helper renderer"
    t0=${before[$p]:-0}
    t1=$(ticks "$p")
    cpu=$(awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$start" -v e="$end" \
          'BEGIN {printf "%.3f", (b - a) / hz / (e - s)}')
    printf '  %-30s %8.1f %8.1f %8d %8s\n' "$what ($p)" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')" \
        "$(awk -v k="$pss" 'BEGIN {print k / 1024}')" "$thr" "$cpu"
    rss_total=$((rss_total + rss))
    pss_total=$((pss_total + pss))
    threads_total=$((threads_total + thr))
    cpu_total=$(awk -v a="$cpu_total" -v b="$cpu" 'BEGIN {print a + b}')
  done
  printf '  %-30s %8.1f %8.1f %8d %8.3f\n' "all together" \
      "$(awk -v k="$rss_total" 'BEGIN {print k / 1024}')" \
      "$(awk -v k="$pss_total" 'BEGIN {print k / 1024}')" "$threads_total" "$cpu_total"
  # shellcheck disable=SC2086
  echo "  resident pages of all together, each counted once: $(together_mb $pids) MB"
}

# The idle table: entered, nobody has pressed start. A few seconds first for the panes
# (and a web page) to settle.
sleep 5
measure "idle table"

# The deal: the start button stands at (372, 608) of the 744 × 710 table, stretched to the
# pane at the screen's top left; pressed until the server deals.
read -r pw ph <<<"$pane"
bx=$((372 * pw / 744)) by=$((608 * ph / 710))
dealt() { client_log | grep -q "deal 1: banker"; }
for _ in 1 2 3 4 5; do
  xdotool mousemove "$bx" "$by" click 1 >/dev/null 2>&1 || true
  wait_for 8 dealt && break
done
dealt || fail "the deal did not start: $(tail -5 "$work/server.log")"
sleep 5
measure "mid-deal"
