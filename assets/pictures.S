/*
 * The button pictures, embedded byte for byte so that Kivora.exe needs no files
 * beside it; read them through kivora::assets in pictures.h. x86-64 C symbols carry
 * no leading underscore. The build puts this folder on the include path, which is
 * where .incbin looks.
 */
    .section .rdata,"dr"

    .globl kivora_speaker_png
    .globl kivora_speaker_png_end
kivora_speaker_png:
    .incbin "speaker.png"
kivora_speaker_png_end:

    .globl kivora_speaker_125_png
    .globl kivora_speaker_125_png_end
kivora_speaker_125_png:
    .incbin "speaker_125.png"
kivora_speaker_125_png_end:

    .globl kivora_speaker_150_png
    .globl kivora_speaker_150_png_end
kivora_speaker_150_png:
    .incbin "speaker_150.png"
kivora_speaker_150_png_end:

    .globl kivora_speaker_200_png
    .globl kivora_speaker_200_png_end
kivora_speaker_200_png:
    .incbin "speaker_200.png"
kivora_speaker_200_png_end:

    .globl kivora_speaker_muted_png
    .globl kivora_speaker_muted_png_end
kivora_speaker_muted_png:
    .incbin "speaker_muted.png"
kivora_speaker_muted_png_end:

    .globl kivora_speaker_muted_125_png
    .globl kivora_speaker_muted_125_png_end
kivora_speaker_muted_125_png:
    .incbin "speaker_muted_125.png"
kivora_speaker_muted_125_png_end:

    .globl kivora_speaker_muted_150_png
    .globl kivora_speaker_muted_150_png_end
kivora_speaker_muted_150_png:
    .incbin "speaker_muted_150.png"
kivora_speaker_muted_150_png_end:

    .globl kivora_speaker_muted_200_png
    .globl kivora_speaker_muted_200_png_end
kivora_speaker_muted_200_png:
    .incbin "speaker_muted_200.png"
kivora_speaker_muted_200_png_end:
