| Every CD call before the drive is opened, the open itself, and every call after it;
| each prints its result. Run against drives that fail in different ways.
        .include "cd.inc"

        .macro  CALLS phase
        CD_EJECT
        SYS_DEBUGPRINT "\phase eject %d0"
        CD_CLOSEDOOR
        SYS_DEBUGPRINT "\phase close %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "\phase status %d0 %d1"
        CD_DISCINFO 1
        SYS_DEBUGPRINT "\phase discinfo %d0"
        moveq   #1, %d2
        CD_TRACKSTART 2
        SYS_DEBUGPRINT "\phase trackstart %d0"
        moveq   #1, %d2
        CD_TRACKLENGTH 2
        SYS_DEBUGPRINT "\phase tracklength %d0"
        move.l  #0x200, %d2
        move.l  #75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "\phase play %d0"
        CD_POSITION 4
        SYS_DEBUGPRINT "\phase position %d0"
        CD_PAUSE
        SYS_DEBUGPRINT "\phase pause %d0"
        CD_PAUSE
        SYS_DEBUGPRINT "\phase pause stopped %d0"
        CD_RESUME
        SYS_DEBUGPRINT "\phase resume %d0"
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #0x11111111, %d1
        CALLS   before
        CD_OPEN
        SYS_DEBUGPRINT "open %d0"
        CALLS   after
        SYS_QUIT
        ZEM_IMAGE_END
