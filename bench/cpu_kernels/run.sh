#!/usr/bin/env bash
# Runs each processor kernel on zem2-bench with counting and prints its rate. Usage:
# bench/cpu_kernels/run.sh [build dir] (default build/release). Compare figures of one
# machine only; the kernels separate dispatch, dependency, branch and memory costs.
set -euo pipefail
build=${1:-build/release}
for image in "$build"/bin/bench-kernel-*.bin; do
    name=$(basename "$image" .bin)
    printf '%-28s ' "${name#bench-kernel-}"
    "$build/bin/zem2-bench" --count "$image" | awk '/^rate:/ { print $2, $3, $4 }'
done
