| Calls the NOS + TOS accelerator word as a subroutine, the way an arithmetic package
| would, and leaves what it found where the host-side test reads it.
        .include "zem.inc"

        .equ    RESULTS, 0x1000         | D0, A1, then the six-byte value at (A1)
        .equ    ARITHMETIC_STACK, 0x2000

        ZEM_IMAGE_START
start:
        lea     0x8000,%sp
        lea     ARITHMETIC_STACK,%a1
        move.w  #0x801,(%a1)            | TOS = 1
        move.l  #0x40000000,2(%a1)
        move.w  #0x802,6(%a1)           | NOS = 2
        move.l  #0x40000000,8(%a1)
        moveq   #0,%d7
        move.l  #0x12345678,%d0
        jsr     add_word
        move.w  %sr,RESULTS+14          | before any move changes the condition codes
        move.l  %d0,RESULTS
        move.l  %a1,RESULTS+4
        move.w  (%a1),RESULTS+8
        move.l  2(%a1),RESULTS+10
        moveq   #1,%d7                  | came back to the instruction after the JSR
        ZEM_HOSTCALL 0, 0, 0            | the test's stop call

add_word:
        .short  0xAB01
        moveq   #2,%d7                  | the word does not fall through
        ZEM_HOSTCALL 0, 0, 0

        ZEM_IMAGE_END
