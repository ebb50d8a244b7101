| Our settings block. The host reads its items at start-up, and writes the final values
| back into the image copy before loading it, so the system starts with what the host
| chose (screen size and depth, keyboard driver, country).
        .section .data
        .balign 2
        .globl  cfg_colour_depth, cfg_resolution_x, cfg_resolution_y, cfg_keyboard_driver, cfg_country
settings_block:
        .ascii  "<<QCFX>>02"
        .short  16
        .ascii  "Generic settings"
        .short  4
        .ascii  "1.00"
        .macro  ITEM tag, data
        .ascii  "\tag"
        .short  0
        .short  \data - .
        .space  8
        .endm
        ITEM    ZEMC, cfg_colour_depth
        ITEM    ZEMX, cfg_resolution_x
        ITEM    ZEMY, cfg_resolution_y
        ITEM    ZEMK, cfg_keyboard_driver
        ITEM    ZEML, cfg_country
        .short  0xFFFF
        .balign 2
cfg_resolution_x:       .short  0
cfg_resolution_y:       .short  0
cfg_country:            .short  44
cfg_colour_depth:       .byte   3
cfg_keyboard_driver:    .byte   1
        .balign 2

        .section .note.GNU-stack,"",%progbits
