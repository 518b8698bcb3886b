#!/usr/bin/env bash
# Measures the CPU share of the idle main screen: starts the installer in a release
# folder, lets it settle, then reads its CPU time over a fixed span of wall time.
#
#   bench/idle/idle_cpu.sh RELEASE_DIR [SECONDS]
#
# Runs on Qt's offscreen platform unless DISPLAY/WAYLAND_DISPLAY is set and
# IDLE_CPU_REAL_DISPLAY=1. Prints frames per second and the share of one core.
set -euo pipefail
release="${1:?release folder}"
span="${2:-10}"
if [ "${IDLE_CPU_REAL_DISPLAY:-0}" != 1 ]; then export QT_QPA_PLATFORM=offscreen; fi
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

"$release/install" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
sleep 2
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
start_cpu=$(cpu); start_wall=$(date +%s.%N)
sleep "$span"
end_cpu=$(cpu); end_wall=$(date +%s.%N)
awk -v c0="$start_cpu" -v c1="$end_cpu" -v w0="$start_wall" -v w1="$end_wall" -v hz="$ticks" \
  'BEGIN { cpu = (c1 - c0) / hz; wall = w1 - w0;
           printf "idle main screen: %.2f s CPU over %.2f s wall = %.1f%% of one core\n", cpu, wall, 100 * cpu / wall }'
