/* The integer benchmark workload: plain C that builds both for the guest (freestanding,
 * no library) and for the host, where it computes the result the guest must reach. */
#ifndef ZEM_BENCH_WORKLOAD_H
#define ZEM_BENCH_WORKLOAD_H

#include <stdint.h>

/* Number of passes over all kernels; the build chooses it. */
#ifndef WORKLOAD_REPEAT
#define WORKLOAD_REPEAT 1
#endif

/* Runs every kernel WORKLOAD_REPEAT times and returns the combined checksum. */
uint32_t workload_run(void);

#endif
