| Entry, vector table, interrupt dispatch and the exception catcher of our guest system.
| The host enters at $30000 in supervisor mode with interrupts masked.
        .include "zem.inc"

        .equ    STACK_TOP, 0xF0000          | the screen sits above, at $100000

        .section .text.boot, "ax"
        .globl  _start
_start:
        bra.w   boot
        .ascii  "ZEM2 guest"
        .even
boot:
        move.w  #0x2700, %sr
        lea     STACK_TOP, %sp
        | The uninitialised data lies past the image, over its zero padding or beyond.
        lea     __bss_start, %a0
        lea     __bss_end, %a1
1:      cmp.l   %a1, %a0
        bhs.s   2f
        clr.l   (%a0)+
        bra.s   1b
2:
        | Every vector goes to the catcher first; then the ones we handle ourselves.
        lea     vector_table, %a0
        move.l  #255, %d0
3:      move.l  #exception_caught, (%a0)+
        dbra    %d0, 3b
        lea     vector_table, %a0
        move.l  #trace_caught, 0x24(%a0)
        move.l  #level2_interrupt, 0x68(%a0)
        | Spurious and other autovectored levels return at once.
        move.l  #interrupt_ignored, 0x60(%a0)
        move.l  #interrupt_ignored, 0x64(%a0)
        move.l  #interrupt_ignored, 0x6C(%a0)
        move.l  #interrupt_ignored, 0x70(%a0)
        move.l  #interrupt_ignored, 0x74(%a0)
        move.l  #interrupt_ignored, 0x78(%a0)
        movec   %a0, %vbr
        lea     linkage, %a1
        SYS_SETLINKAGE 1
        jsr     os_main
        | os_main never returns; if it does, end the machine rather than run into data.
        SYS_QUIT

        .globl  os_interrupts_on
os_interrupts_on:
        move.w  #0x2000, %sr
        rts

| Restarts the shell on a fresh stack after a fault; the shell goes on where it was.
        .globl  os_restart
os_restart:
        lea     STACK_TOP, %sp
        move.w  #0x2000, %sr
        jsr     os_resume
        SYS_QUIT

| Seven self-relative words: poll, done, keyboard, (unused), parallel, serial out, serial in.
        .even
linkage:
        .short  on_poll - .
        .short  on_done - .
        .short  on_keyboard - .
        .short  on_done - .
        .short  on_parallel - .
        .short  on_serial_out - .
        .short  on_serial_in - .

| The level-2 interrupt: the host picks the routine to run, each one asks again, until
| the done routine restores the registers.
level2_interrupt:
        movem.l %d0-%d7/%a0-%a6, -(%sp)
        SYS_NEXTEVENT

on_poll:
        addq.l  #1, os_ticks
        SYS_NEXTEVENT

| D1 = the keyboard ring: everything in it goes to our own key queue.
on_keyboard:
        move.l  %d1, %d2
        move.l  %d1, os_keyboard_ring
1:      SYS_RINGGET
        beq.s   2f
        move.l  %d1, -(%sp)
        jsr     kbd_take_byte
        addq.l  #4, %sp
        move.l  os_keyboard_ring, %d2
        bra.s   1b
2:      SYS_NEXTEVENT

on_parallel:
        addq.l  #1, os_parallel_events
        SYS_NEXTEVENT
on_serial_out:
        addq.l  #1, os_serial_out_events
        SYS_NEXTEVENT
on_serial_in:
        addq.l  #1, os_serial_in_events
        SYS_NEXTEVENT

on_done:
        movem.l (%sp)+, %d0-%d7/%a0-%a6
interrupt_ignored:
        rte

| A trace exception only comes from a refused screen move (the host asks a debugger to
| stop there); without one we switch tracing off and go on.
trace_caught:
        and.w   #0x3FFF, (%sp)
        rte

| Any other exception: report vector and PC, then back to the shell. The frame's format
| word holds the vector offset.
exception_caught:
        move.w  6(%sp), %d0
        and.l   #0xFFF, %d0
        lsr.l   #2, %d0
        move.l  2(%sp), %d1
        move.l  %d1, -(%sp)
        move.l  %d0, -(%sp)
        jsr     os_report_fault
        bra     os_restart

        .section .bss
        .balign 4
vector_table:
        .space  1024
        .globl  os_ticks, os_keyboard_ring, os_parallel_events, os_serial_out_events, os_serial_in_events
os_ticks:               .space 4
os_keyboard_ring:       .space 4
os_parallel_events:     .space 4
os_serial_out_events:   .space 4
os_serial_in_events:    .space 4

        .section .note.GNU-stack,"",%progbits
