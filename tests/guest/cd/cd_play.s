| Plays the disc: position while playing, pause and resume, a pause while paused that
| stops, a play to the very end of the disc, plays past the disc, and the door.
        .include "cd.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        CD_OPEN
        SYS_DEBUGPRINT "open %d0"

        | Play 40 seconds from the start of track 2.
        moveq   #2, %d2
        CD_TRACKSTART 2
        move.l  %d2, %a5                | track 2's start (MSF)
        move.l  #40 * 75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "play %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"

        CD_POSITION 4
        move.l  %d5, %d6
        WAIT_FOR_MOVE
        SYS_DEBUGPRINT "moving %d4 %d5 polls left %d7"

        CD_PAUSE
        SYS_DEBUGPRINT "pause %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        CD_POSITION 4
        move.l  %d5, %d6
        WAIT_FOR_MOVE 20000
        SYS_DEBUGPRINT "held %d6 %d5 polls left %d7"

        CD_RESUME
        SYS_DEBUGPRINT "resume %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        WAIT_FOR_MOVE
        SYS_DEBUGPRINT "resumed %d6 %d5 polls left %d7"

        | Pause twice: the second one stops, and nothing is left to resume.
        CD_PAUSE
        CD_PAUSE
        SYS_DEBUGPRINT "pause again %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        CD_RESUME
        CD_STATUS 1
        SYS_DEBUGPRINT "resume when stopped status %d1"

        | The last second of the disc, played to its end.
        CD_DISCINFO 1
        move.l  %d2, %d6
        lsr.l   #8, %d6                 | the last track
        move.l  %d6, %d2
        CD_TRACKSTART 2
        CD_MSFTOFRAMES 2
        move.l  %d6, %d3
        CD_TRACKLENGTH 3
        move.l  %d3, %a4                | the last track's length
        add.l   %d3, %d2                | the lead-out, in frames
        move.l  %d2, %a3
        sub.l   #75, %d2
        CD_FRAMESTOMSF 2
        move.l  #75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "play the end %d0"
        WAIT_WHILE_PLAYING
        SYS_DEBUGPRINT "ended status %d1 polls left %d7"
        CD_POSITION 4
        SYS_DEBUGPRINT "at the end %d4 %d5"

        | Plays that leave the disc.
        move.l  %d6, %d2
        CD_TRACKSTART 2
        move.l  %a4, %d3
        addq.l  #1, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "past the last track %d0"
        move.l  %a3, %d2
        CD_FRAMESTOMSF 2
        moveq   #1, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "from the lead-out %d0"
        moveq   #0, %d2
        move.l  #75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "from the lead-in %d0"
        move.l  %a5, %d2
        moveq   #0, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "no length %d0"
        move.l  %a5, %d2
        moveq   #-75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "negative length %d0"
        move.l  #0x12C0000, %d2
        move.l  #75, %d3
        CD_PLAY 2
        SYS_DEBUGPRINT "300 minutes %d0"
        moveq   #99, %d2
        CD_TRACKSTART 2
        SYS_DEBUGPRINT "track 99 %d0 %d2"

        | The door: an open drive has no disc.
        move.l  %a5, %d2
        move.l  #750, %d3
        CD_PLAY 2
        CD_EJECT
        SYS_DEBUGPRINT "eject %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        moveq   #1, %d2
        CD_TRACKSTART 2
        SYS_DEBUGPRINT "track start, door open %d0"
        CD_POSITION 4
        SYS_DEBUGPRINT "position, door open %d0"
        CD_CLOSEDOOR
        SYS_DEBUGPRINT "close %d0"
        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        SYS_QUIT
        ZEM_IMAGE_END
