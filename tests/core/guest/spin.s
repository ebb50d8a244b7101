| Runs until the host stops it.
        .include "zem.inc"
        ZEM_IMAGE_START
forever:
        bra.s   forever
        ZEM_IMAGE_END
