| Reports what the guest sees of the host's settings: the RAM size by host call and by
| probing (the last long word of RAM keeps a value; the first one past it reads zero, or
| is address 0 again when the size is a power of two),
| and the items of its own configuration block as the host left them.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SYS_GETRAMSIZE 0
        move.l  %a0, %d0
        move.l  %d0, %a1
        move.l  #0x12345678, -4(%a1)
        move.l  -4(%a1), %d1
        move.l  #0x12345678, (%a1)
        move.l  (%a1), %d2
        SYS_DEBUGPRINT "ram %d0 top %d1 beyond %d2"

        moveq   #0, %d3
        move.b  memory_data, %d3
        move.w  country_data, %d4
        ext.l   %d4
        moveq   #0, %d5
        move.b  priority_data, %d5
        SYS_DEBUGPRINT "memory %d3 country %d4 priority %d5"
        SYS_QUIT

| The configuration block: marker, name, version, three items, end word, then the data.
        .even
block:
        .ascii  "<<QCFX>>02"
        .short  16
        .ascii  "Generic settings"
        .short  4
        .ascii  "7.77"
item_memory:
        .ascii  "ZEMM"
        .short  0
        .short  memory_data - .
        .space  8
item_country:
        .ascii  "ZEML"
        .short  0
        .short  country_data - .
        .space  8
item_priority:
        .ascii  "ZE2F"
        .short  0
        .short  priority_data - .
        .space  8
        .short  0xFFFF
memory_data:
        .byte   16
        .even
country_data:
        .short  44
priority_data:
        .byte   3
        .even
        ZEM_IMAGE_END
