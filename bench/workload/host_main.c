/* The workload run natively: prints the checksum the guest must reach. */
#include "workload.h"

#include <stdio.h>

int main(void)
{
    printf("%08x\n", (unsigned)workload_run());
    return 0;
}
