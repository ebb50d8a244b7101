| The host's printers as the guest sees them: the count, each name, the default printer.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        moveq   #-1, %d0
        PAR_PRINTERS 0
        SYS_DEBUGPRINT "count %d1"
        move.l  %d1, %d6
        ble     default
        moveq   #1, %d7
1:      move.l  %d7, %d0
        lea     buffer, %a0
        move.l  #200, %d1
        PAR_PRINTERS 0
        SYS_DEBUGPRINT "printer <%sa0>"
        addq.l  #1, %d7
        cmp.l   %d6, %d7
        ble     1b
default:
        moveq   #-2, %d0
        lea     buffer, %a0
        move.l  #200, %d1
        PAR_PRINTERS 0
        SYS_DEBUGPRINT "default %d0 <%sa0>"
        SYS_QUIT

buffer:
        .space  256
        ZEM_IMAGE_END
