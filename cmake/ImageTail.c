/* 260 zero bytes as read-only initialised data, in a section of their own that
   ImageTail.ld puts at the end of the image (see ImageTail.cmake). Written in
   assembly because GCC would put an all-zero array into uninitialised data. */
__asm__(".section .tail,\"dr\"\n"
        "\t.fill 260,1,0\n"
        "\t.text\n");
