/* The sixty built-in MP3 bodies, in catalogue order, each between a start and an
   end label, and a table of (start, end) pairs that C++ reads as the catalogue's
   bodies. x86-64 C symbols carry no leading underscore; each table entry is
   two 8-byte pointers. */
        .section .rdata,"dr"

        .macro sound number
        .balign 4
sound_start_\number:
        .incbin "sounds/\number\().mp3"
sound_end_\number:
        .endm

        .irp n, 01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60
        sound \n
        .endr

        .balign 8
        .globl kivora_sound_bodies
kivora_sound_bodies:
        .irp n, 01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60
        .quad sound_start_\n, sound_end_\n
        .endr
