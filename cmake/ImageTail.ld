/* Places the zero bytes of ImageTail.c last in the image, after .reloc (see ImageTail.cmake). */
SECTIONS
{
  .tail BLOCK(__section_alignment__) :
  {
    KEEP(*(.tail))
  }
}
INSERT AFTER .reloc;
