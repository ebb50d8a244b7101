| Results as D0 and condition codes: an error code sets N and clears Z, V and C; a zero
| sets Z; X stays as it was; an operation that answers in registers leaves D0 and every
| flag alone. The condition codes after each call are printed as D3.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    BEYOND_RAM, 0xFFFFFE

        .macro  ALL_FLAGS
        move.w  #0x271F, %sr
        .endm
        .macro  CCR_TO_D3
        move.w  %sr, %d3
        and.l   #0x1F, %d3
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp

        lea     missing, %a0
        lea     no_parameters, %a1
        move.l  #0x12345678, %d0
        ALL_FLAGS
        SYS_EXECUTE 0
        CCR_TO_D3
        SYS_DEBUGPRINT "execute %d0 ccr %d3"

        lea     buffer, %a0
        move.l  #100, %d1
        ALL_FLAGS
        SYS_GETCOMMANDLINE
        CCR_TO_D3
        SYS_DEBUGPRINT "cmdline %d0 ccr %d3"

        move.l  #0x55AA55AA, %d0
        ALL_FLAGS
        SYS_GETRAMSIZE 3
        CCR_TO_D3
        SYS_DEBUGPRINT "ramsize %a3 d0 %d0 ccr %d3"

        SYS_GETVERSION 4
        SYS_DEBUGPRINT "cpu %d5"
        SYS_GETHOSTSYSTEM 2
        SYS_DEBUGPRINT "host %d2"

        | A ring handle that names no ring: RingGet leaves D1 and Z alone, RingTest sets Z.
        move.l  #0x7EADBEEF, %d2
        move.l  #0xAAAA, %d1
        move.w  #0x2700, %sr
        SYS_RINGGET
        CCR_TO_D3
        SYS_DEBUGPRINT "ringget %d1 ccr %d3"
        SYS_RINGPUT 1
        SYS_RINGTEST
        CCR_TO_D3
        SYS_DEBUGPRINT "ringtest ccr %d3"

        SYS_QUIT

missing:
        .short  end_missing - missing - 2
        .ascii  "/nonexistent-zem-dir/nothing.txt"
end_missing:
        .even
no_parameters:
        .short  0
buffer:
        .space  128
        ZEM_IMAGE_END
