| Ends the machine at once.
        .include "zem.inc"
        ZEM_IMAGE_START
        SYS_QUIT
        ZEM_IMAGE_END
