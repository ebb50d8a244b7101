| The same program with a one-byte job: its run time is the start-up and shut-down that
| run.sh takes off the 10 MB run's.
        .equ    JOB_SIZE, 1
        .include "par_bench.s"
