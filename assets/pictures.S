/*
 * The button pictures, embedded byte for byte so that Kivora.exe needs no files
 * beside it; read them through kivora::assets in pictures.h. i686 C symbols carry
 * a leading underscore. The build puts this folder on the include path, which is
 * where .incbin looks.
 */
    .section .rdata,"dr"

    .globl _kivora_speaker_png
    .globl _kivora_speaker_png_end
_kivora_speaker_png:
    .incbin "speaker.png"
_kivora_speaker_png_end:

    .globl _kivora_speaker_muted_png
    .globl _kivora_speaker_muted_png_end
_kivora_speaker_muted_png:
    .incbin "speaker_muted.png"
_kivora_speaker_muted_png_end:
