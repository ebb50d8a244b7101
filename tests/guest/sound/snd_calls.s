| Every SND host call with good and bad input. Each line reports D0 and the condition
| codes after the call (all flags set before it), so an untouched D0 and CCR show as
| 12345678 and 1f. At the end, after all the bad input, chip 0 plays a tone on channel C
| so the output can show the mixer undisturbed.
        .include "zem.inc"
        .include "sound.inc"
        .equ    VECTOR_ILLEGAL, 4 * 4

        .macro  ALL_FLAGS
        move.l  #0x12345678, %d0
        move.w  #0x271F, %sr
        .endm
        .macro  CCR_TO_D3
        move.w  %sr, %d3
        and.l   #0x1F, %d3
        .endm
        .macro  PROBE word
        lea     1f, %a4
1:      .short  \word
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     illegal, %a0
        move.l  %a0, VECTOR_ILLEGAL
        moveq   #0, %d0
        movec   %d0, %vbr
        moveq   #0, %d6
        SYS_GETRAMSIZE 5

        | Beeper: extreme values, stop, block past RAM.
        lea     extreme, %a2
        move.l  #0xAAAAAA55, %d7
        ALL_FLAGS
        SND_BEEP 2
        CCR_TO_D3
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "beep %d0 ccr %d3 active %d7"
        ALL_FLAGS
        SND_STOPBEEP
        CCR_TO_D3
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "stopbeep %d0 ccr %d3 active %d7"
        lea     -4(%a5), %a2
        SND_BEEP 2
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "beep past ram active %d7"
        lea     endless, %a6
        SND_BEEP 6
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "endless active %d7"
        SND_STOPBEEP
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "endless stopped %d7"

        | Sampled sound: a block past RAM, one whose read lies past its write, a good one.
        lea     -8(%a5), %a1
        ALL_FLAGS
        SND_SAMPLEBLOCK 1
        CCR_TO_D3
        SYS_DEBUGPRINT "block past ram %d0 ccr %d3"
        lea     vsnd_pointers, %a1
        move.l  #ring + 2, 8(%a1)
        SND_SAMPLEBLOCK 1
        move.l  #ring, 8(%a1)
        SND_SAMPLEBLOCK 1
        ALL_FLAGS
        SND_SAMPLEPLAY
        CCR_TO_D3
        SYS_DEBUGPRINT "sampleplay %d0 ccr %d3"
        ALL_FLAGS
        SND_SAMPLESTOP
        CCR_TO_D3
        SYS_DEBUGPRINT "samplestop %d0 ccr %d3"

        | Chips.
        ALL_FLAGS
        SND_CHIPRESET
        CCR_TO_D3
        SYS_DEBUGPRINT "reset %d0 ccr %d3"
        moveq   #0, %d1
        ALL_FLAGS
        SND_CHIPSTOP
        CCR_TO_D3
        SYS_DEBUGPRINT "stop 0 %d0 ccr %d3"
        moveq   #2, %d1
        ALL_FLAGS
        SND_CHIPSTOP
        CCR_TO_D3
        SYS_DEBUGPRINT "stop 2 %d0 ccr %d3"
        move.l  #0x101, %d1
        SND_CHIPSTOP
        SYS_DEBUGPRINT "stop 101 %d0"
        moveq   #1, %d1
        SND_CHIPTYPE
        SYS_DEBUGPRINT "type 1 %d0"
        moveq   #2, %d1
        SND_CHIPTYPE
        SYS_DEBUGPRINT "type 2 %d0"
        moveq   #-1, %d1
        SND_CHIPTYPE
        SYS_DEBUGPRINT "type ff %d0"
        moveq   #0, %d2
        SND_CHIPCLOCK
        SYS_DEBUGPRINT "clock 0 %d0"
        moveq   #-1, %d2
        SND_CHIPCLOCK
        SYS_DEBUGPRINT "clock ffffffff %d0"
        moveq   #6, %d2
        SND_CHIPSTEREO
        SYS_DEBUGPRINT "stereo 6 %d0"
        moveq   #7, %d2
        SND_CHIPSTEREO
        SYS_DEBUGPRINT "stereo 7 %d0"
        move.l  #0x300, %d2
        SND_CHIPSTEREO
        SYS_DEBUGPRINT "stereo 300 %d0"
        move.l  #255, %d2
        SND_CHIPVOLUME
        SYS_DEBUGPRINT "volume 255 %d0"
        moveq   #2, %d1
        lea     tone_c, %a3
        SND_CHIPPLAY 3
        SYS_DEBUGPRINT "play chip 2 %d0"
        moveq   #1, %d1
        lea     -4(%a5), %a3
        SND_CHIPPLAY 3
        SYS_DEBUGPRINT "play past ram %d0"
        moveq   #1, %d1
        SND_CHIPSTOP

        | Words outside the group's catalogue.
        PROBE   0xA714
        PROBE   0xA71F
        PROBE   0xA708
        PROBE   0xA70F
        PROBE   0xA728
        PROBE   0xA736
        PROBE   0xA73F
        PROBE   0xA748
        PROBE   0xA750
        PROBE   0xA7F0
        SYS_DEBUGPRINT "illegal %d6"

        | After all that: a clean tone of channel C, 1773400 / (16 x 400) = 277 Hz.
        SND_CHIPRESET
        move.l  #1773400, %d2
        SND_CHIPCLOCK
        moveq   #0, %d1
        lea     tone_c, %a3
        SND_CHIPPLAY 3
        SYS_DEBUGPRINT "play %d0"
        WAIT_SECONDS 3
        moveq   #0, %d1
        SND_CHIPSTOP
        SYS_QUIT

illegal:
        cmp.l   2(%sp), %a4
        bne.s   1f
        addq.l  #1, %d6
1:      addq.l  #2, 2(%sp)
        rte

        .even
| Pitch bytes 0 and 1 (255 and 0), interval $FFFF, duration -32768, step -8 with wrap 15,
| both jitters 15.
extreme:
        .byte   0, 1, 0xFF, 0xFF, 0x00, 0x80, 0x8F, 0xFF
endless:
        .byte   50, 50, 0, 0, 0, 0, 0, 0
| Chip registers R0-R13: channel C period 400, level 15, tone only.
tone_c:
        .byte   0, 0, 0, 0, 0x90, 0x01, 0, 0x3B, 0, 0, 15, 0, 0, 0
        .even
vsnd_mark:
        .ascii  "VSND"
        .long   0, 0, 0
vsnd_pointers:
        .long   0, ring, ring, ring_end
ring:
        .space  400, 0x80
ring_end:
        ZEM_IMAGE_END
