| Exception frames, stacks and trace. Every vector points to "record", which writes what it
| finds into a 24-byte record at RECORDS + 24 * n and resumes at A4 with a fresh stack:
|   +0 A7 in the handler (l)   +4 SR in the handler (w)   +6 stacked SR (w)
|   +8 stacked PC (l)          +12 format/vector (w)      +14 long at frame+8 (l)
|   +18 A3 = the address of the instruction that raised it (l)
        .include "zem.inc"

        .equ    VBR, 0x10000
        .equ    RECORDS, 0x2000
        .equ    MARKS, 0x1800              | markers of instructions that must not trap
        .equ    SSP, 0x8000
        .equ    USP, 0x6000

        .text
start:  lea     SSP,%sp
        move.l  #VBR,%d0
        movec   %d0,%vbr
        lea     VBR,%a0
        move.w  #255,%d0
1:      move.l  #record,(%a0)+
        dbra    %d0,1b
        lea     RECORDS,%a5
        lea     MARKS,%a6

| 0: TRAP #5
        lea     c0,%a4
        lea     t0,%a3
t0:     trap    #5
c0:
| 1: zero divide
        moveq   #7,%d1
        lea     c1,%a4
        lea     t1,%a3
t1:     divu.w  #0,%d1
c1:
| 2, 3: CHK above the bound, then below zero
        moveq   #10,%d0
        lea     c2,%a4
        lea     t2,%a3
t2:     chk.w   #5,%d0
c2:     moveq   #-1,%d0
        lea     c3,%a4
        lea     t3,%a3
t3:     chk.w   #5,%d0
c3:
| 4: JMP to an odd address
        lea     c4,%a4
        lea     t4,%a3
t4:     jmp     0x1001
c4:
| 5-8: illegal words: ILLEGAL, BKPT #0, MOVES, MOVEC to SFC
        lea     c5,%a4
        lea     t5,%a3
t5:     illegal
c5:     lea     c6,%a4
        lea     t6,%a3
t6:     .short  0x4848
c6:     lea     c7,%a4
        lea     t7,%a3
t7:     .short  0x0E50, 0x1000
c7:     lea     c8,%a4
        lea     t8,%a3
t8:     movec   %d0,%sfc
c8:
| 9: privilege violation in user mode; MOVE from SR is allowed there
        move.l  #USP,%a0
        move.l  %a0,%usp
        lea     c9,%a4
        lea     t9,%a3
        move.w  #0x0000,%sr
        move.w  %sr,%d2
        move.w  %d2,(%a6)+                | mark 0: SR read in user mode
t9:     move.w  #0x2700,%sr
c9:
| 10: line F
        lea     c10,%a4
        lea     t10,%a3
t10:    .short  0xF200
c10:
| 11: TRAPV with V set
        move.w  #2,%ccr
        lea     c11,%a4
        lea     t11,%a3
t11:    trapv
c11:
| 12: TRAPcc: NE not taken skips its long operand, EQ taken
        move.w  #4,%ccr
        lea     c12,%a4
        trapne.l #0x12345678
        move.w  #0x600D,(%a6)+            | mark 1
        lea     t12,%a3
        move.w  #4,%ccr
t12:    trapeq.w #0x1234
c12:
| 13: trace on change of flow: ADD does not trace, NOP does
        lea     c13,%a4
        move.w  #0x4700,%sr
        add.l   %d0,%d0
        lea     t13,%a3
t13:    nop
c13:
| 14: trace every instruction: the first instruction after MOVE to SR is traced
        lea     c14,%a4
        lea     t14,%a3
        move.w  #0xA700,%sr
t14:    moveq   #1,%d3
c14:
| 15: TRAP under T1: the trace fires at the first instruction of the trap handler
        lea     c15,%a4
        lea     t15,%a3
        move.w  #0xA700,%sr
t15:    trap    #6
c15:
| 16: an odd JMP target raises the address error before the trace on change of flow
        lea     c16,%a4
        lea     t16,%a3
        move.w  #0x4700,%sr
t16:    jmp     0x2001
c16:
| RESET in supervisor mode only advances the PC
        reset
        move.w  #0x600D,(%a6)+            | mark 2
        SYS_QUIT

record: move.l  %sp,(%a5)+
        move.w  %sr,(%a5)+
        move.w  (%sp),(%a5)+
        move.l  2(%sp),(%a5)+
        move.w  6(%sp),(%a5)+
        move.l  8(%sp),(%a5)+
        move.l  %a3,(%a5)+
        clr.w   (%a5)+
        lea     SSP,%sp
        jmp     (%a4)
