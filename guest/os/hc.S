| Host-call shims for the C side: long name(struct regs *r) loads D0-D7/A0-A6 from r,
| runs the word, stores the registers and the condition codes back, and returns D0.
        .macro  HC name, word, check=0
        .text
        .globl  \name
\name:
        movem.l %d2-%d7/%a2-%a6, -(%sp)
        move.l  48(%sp), %a6
        movem.l (%a6), %d0-%d7/%a0-%a6
        .short  \word
        .if \check
        .short  0x4AFB
        .endif
        move.w  %sr, -(%sp)
        move.l  %a6, -(%sp)
        move.l  54(%sp), %a6
        movem.l %d0-%d7/%a0-%a5, (%a6)
        move.l  (%sp)+, 56(%a6)
        move.w  (%sp)+, 60(%a6)
        move.l  (%a6), %d0
        movem.l (%sp)+, %d2-%d7/%a2-%a6
        rts
        .endm

        HC      hc_quit, 0xA000, 1
        HC      hc_get_version, 0xA011
        HC      hc_get_ram_size, 0xA020
        HC      hc_ring_get, 0xA080
        HC      hc_ring_put, 0xA091
        HC      hc_ring_test, 0xA0A0
        HC      hc_idle, 0xA0B0
        HC      hc_get_command_line, 0xA0C0
        HC      hc_set_window_title, 0xA0C1
        HC      hc_clipboard_put, 0xA0D1
        HC      hc_clipboard_fetch, 0xA0E1
        HC      hc_clipboard_get, 0xA0E9
        HC      hc_scr_set_size, 0xA101
        HC      hc_scr_init_display, 0xA110
        HC      hc_scr_set_mode, 0xA121
        HC      hc_scr_set_base, 0xA131
        HC      hc_scr_move_area, 0xA140
        HC      hc_scr_fill, 0xA150
        HC      hc_scr_mirror, 0xA1E1
        HC      hc_ser_port_count, 0xA200
        HC      hc_ser_close, 0xA211
        HC      hc_ser_open, 0xA221
        HC      hc_ser_receive_on, 0xA261
        HC      hc_ser_receive_ring, 0xA2E3
        HC      hc_ser_transmit_ring, 0xA2F4
        HC      hc_ser_send, 0xA241
        HC      hc_par_port_count, 0xA300
        HC      hc_par_end_job, 0xA311
        HC      hc_par_open, 0xA321
        HC      hc_par_send, 0xA341
        HC      hc_par_ring, 0xA3F2
        HC      hc_inp_set_pointer, 0xA411
        HC      hc_snd_beep, 0xA701
        HC      hc_snd_stop_beep, 0xA710
        HC      hc_ip_open, 0xAA00
        HC      hc_ip_op, 0xAA01
        HC      hc_ip_close, 0xAA02
        HC      hc_cd_open, 0xAC10
        HC      hc_cd_play, 0xAC31
        HC      hc_cd_track_start, 0xAC41
        HC      hc_cd_disc_info, 0xAC61
        HC      hc_cd_track_length, 0xAC52
        HC      hc_dos_open_new, 0xAD01
        HC      hc_dos_open_overwrite, 0xAD11
        HC      hc_dos_open_directory, 0xAD19
        HC      hc_dos_open_shared, 0xAD29
        HC      hc_dos_close, 0xAD30
        HC      hc_dos_delete, 0xAD41
        HC      hc_dos_delete_temp_dir_file, 0xAD48
        HC      hc_dos_create_directory, 0xAD51
        HC      hc_dos_read, 0xAD61
        HC      hc_dos_write, 0xAD71
        HC      hc_dos_rename, 0xADA1
        HC      hc_dos_get_file_size, 0xADD3
        HC      hc_win_read, 0xAE00
        HC      hc_win_write, 0xAE01
        HC      hc_flp_read, 0xAF00
        HC      hc_flp_write, 0xAF01

| Floating-point accelerator words are subroutines of their own: the caller jumps to them
| with A1 = the arithmetic stack, D1/D2 = a register operand.
        .macro  ACCEL name, word
        .globl  \name
\name:  .short  \word
        .endm
        .text
        ACCEL   fp_words_add, 0xAB01
        ACCEL   fp_words_sub, 0xAB03
        ACCEL   fp_words_mul, 0xAB0A
        ACCEL   fp_words_div, 0xAB07
        ACCEL   fp_words_sqrt, 0xAB0C

| long fp_call(void *word, struct regs *r): runs one accelerator word on r's D1, D2 and
| A1 (the arithmetic stack) and returns D0; r gets A1 back.
        .globl  fp_call
fp_call:
        movem.l %d2-%d7/%a2-%a6, -(%sp)
        move.l  52(%sp), %a6
        move.l  48(%sp), %a0
        move.l  4(%a6), %d1
        move.l  8(%a6), %d2
        move.l  36(%a6), %a1
        jsr     (%a0)
        move.l  52(%sp), %a6
        move.l  %a1, 36(%a6)
        move.l  %d0, (%a6)
        movem.l (%sp)+, %d2-%d7/%a2-%a6
        rts

        .section .note.GNU-stack,"",%progbits
