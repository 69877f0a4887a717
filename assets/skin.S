/*
 * The skin library (built from skinlib/ into the build folder) and its skin data,
 * embedded byte for byte; read them through kivora::assets in skin.h. The build puts
 * this folder and the library's build folder on the include path for .incbin.
 */
    .section .rdata,"dr"

    .globl kivora_skin_library
    .globl kivora_skin_library_end
    .p2align 4
kivora_skin_library:
    .incbin "kivora_skin.dll"
kivora_skin_library_end:

    .globl kivora_skin_data
    .globl kivora_skin_data_end
kivora_skin_data:
    .incbin "kivora.she"
kivora_skin_data_end:
