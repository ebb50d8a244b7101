#!/usr/bin/env bash
# Times a 10 MB print job from a guest program through PAR1 into a spool file, the way a
# filtered port collects jobs for the printer program. A stand-in printer program beside
# a copy of zem2 records the spool file's size and removes it, so the real one does not
# render 10 MB of text. Usage: bench/par/run.sh [build dir] (default build/release).
set -euo pipefail
build=${1:-build/release}
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
start=$(date +%s.%N)
TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen "$work/zem2" -INI "$work/zem.ini" -OS "$build/bin/par-bench-job.bin" -DBG 0
end=$(date +%s.%N)
for _ in $(seq 1 50); do [ -s "$work/size" ] && break; sleep 0.1; done
size=$(cat "$work/size")
awk -v s="$size" -v a="$start" -v b="$end" \
    'BEGIN { t = b - a; printf "spool file %d bytes in %.2f s (whole run, start-up included): %.1f MB/s\n", s, t, s / t / 1048576 }'
