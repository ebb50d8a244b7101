#!/usr/bin/env bash
# Times a 10 MB print job from a guest program through PAR1 into a spool file, the way a
# filtered port collects jobs for the printer program. A stand-in printer program beside
# a copy of zem2 records the spool file's size and removes it, so the real one does not
# render 10 MB of text. A one-byte job run before each 10 MB run gives the start-up and
# shut-down time, which the net rate leaves out.
# Usage: bench/par/run.sh [build dir] [rounds] (default build/release, 3 rounds).
set -euo pipefail
build=${1:-build/release}
rounds=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/zem2" "$work/zem2"
cat > "$work/zemprint" <<SCRIPT
#!/bin/sh
stat -c %s "\$1" > "$work/size"
rm -f "\$1"
SCRIPT
chmod +x "$work/zemprint"
mkdir "$work/tmp"
printf '[Emulation]\nMemory=4\n[Parallel]\nPort1=4\nPrinter1=bench\nFilter1=1\n' > "$work/zem.ini"

# Runs one job; prints "<wall seconds> <cpu seconds> <spool bytes>".
run() {
    rm -f "$work/size"
    local start end
    start=$(date +%s.%N)
    TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%U %S' -o "$work/cpu" \
        "$work/zem2" -INI "$work/zem.ini" -OS "$1" -DBG 0 > /dev/null 2>&1
    end=$(date +%s.%N)
    for _ in $(seq 1 50); do [ -s "$work/size" ] && break; sleep 0.1; done
    echo "$start $end $(cat "$work/cpu") $(cat "$work/size")" |
        awk '{ printf "%.3f %.3f %d\n", $2 - $1, $3 + $4, $5 }'
}

for _ in $(seq 1 "$rounds"); do
    read -r t0 c0 _ < <(run "$build/bin/par-bench-start.bin")
    read -r t1 c1 size < <(run "$build/bin/par-bench-job.bin")
    load=$(cut -d' ' -f1 /proc/loadavg)
    awk -v s="$size" -v t0="$t0" -v t1="$t1" -v c0="$c0" -v c1="$c1" -v l="$load" 'BEGIN {
        net = t1 - t0; if (net <= 0) net = 0.001
        printf "spool file %d bytes: run %.2f s (start-up %.2f s), net %.1f MB/s, CPU %.2f s (start-up %.2f s), load %s\n",
               s, t1, t0, s / net / 1048576, c1, c0, l }'
done
