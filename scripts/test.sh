#!/usr/bin/env bash
# Installs what is missing, builds everything once with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test through ctest, then builds the libFuzzer
# harnesses with clang and runs each for a short while. Any failure or sanitizer report
# fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# Every test that needs a display starts its own Xvfb. A display of the caller's (a desktop
# session) would let the session bus's X11 autolaunch into the sanitised programs, whose
# allocation there LeakSanitizer reports as a leak of theirs.
unset DISPLAY WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

echo "== build (gcc, ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHQLV_SANITIZE=ON \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build/asan -j "$jobs"

echo "== tests"
ctest --test-dir build/asan --output-on-failure -j "$jobs" --no-tests=error

echo "== fuzz harnesses (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DHQLV_FUZZ=ON -DHQLV_TESTS=OFF -DHQLV_BENCH=OFF -DHQLV_PROGRAMS=OFF \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build/fuzz -j "$jobs"
if [ -n "$(ctest --test-dir build/fuzz -N | grep -E '^ +Test +#')" ]; then
  ctest --test-dir build/fuzz --output-on-failure -j "$jobs"
fi
echo "== all tests passed"
