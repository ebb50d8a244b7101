#!/usr/bin/env bash
# The window's cost, measured: a guest rewrites a 1920 x 1080 16-bit screen 400 times.
# Runs it headless and, under Xvfb, with the raster and the OpenGL back end; prints the
# guest's instruction rate, presents per second and CPU time per present for each.
# CPU time of the window runs includes the X server (xvfb-run waits for it too).
# Usage: bench/window/run.sh [build directory]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
zem=$build/bin/zem2
image=$build/bin/bench-window-full-screen.bin
[ -x "$zem" ] && [ -f "$image" ] || { echo "build zem2 and bench-window-full-screen first" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is needed" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Instructions per frame: three per long written (move, subq, bne), 1920 * 1080 / 2 longs.
frames=400
instructions=$((frames * 3 * 1920 * 1080 / 2))

run() {  # name, ScreenDriver ("" for headless)
    local name=$1 driver=$2
    printf '[General]\nShowDialog=1\n[Emulation]\nMemory=16\n[Screen]\nWindowMode=1\nWindowSizeX=1920\nWindowSizeY=1080\nWindowPosX=0\nWindowPosY=0\n' >"$dir/zem.ini"
    [ -n "$driver" ] && printf 'ScreenDriver=%s\nScreenFilter=0\n' "$driver" >>"$dir/zem.ini"
    local cmd=("$zem" -OS "$image" -INI "$dir/zem.ini" -DBG 2)
    local start end
    start=$(date +%s.%N)
    if [ -n "$driver" ]; then
        env -u WAYLAND_DISPLAY /usr/bin/time -f 'cpu %U %S' -o "$dir/time" \
            xvfb-run -a -s '-screen 0 1920x1200x24' "${cmd[@]}" >"$dir/log" 2>&1
    else
        env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/time -f 'cpu %U %S' -o "$dir/time" "${cmd[@]}" >"$dir/log" 2>&1
    fi
    end=$(date +%s.%N)
    grep -q "frames 00000190\|frames 400" "$dir/log" || { echo "$name: the guest did not finish" >&2; cat "$dir/log" >&2; exit 1; }
    local presents cpu
    presents=$(sed -n 's/.*conversions, \([0-9]*\) presents.*/\1/p' "$dir/log" | tail -1)
    cpu=$(awk '/^cpu/ {print $2 + $3}' "$dir/time")
    [ -z "$driver" ] && headlessCpu=$cpu
    # CPU per present: what the run took beyond the headless run's CPU time.
    awk -v n="$name" -v s="$start" -v e="$end" -v i="$instructions" -v p="${presents:-0}" -v c="$cpu" \
        -v h="${headlessCpu:-0}" -v l="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
        t = e - s;
        printf "%-9s %6.2f s  %7.1f M instructions/s", n, t, i / t / 1e6;
        if (p > 0) printf "  %6.1f presents/s  %6.2f ms CPU per present", p / t, (c - h) * 1000 / p;
        printf "  (CPU %.2f s, load %s)\n", c, l }'
}

run headless ""
run raster 1
run opengl 0
