# The setup program reads its download host from a trailer after its image:
# the first "$" in the file's last 260 bytes (download/ServerHost.cpp). The
# image itself must therefore end in 260 bytes without a "$", or an unstamped
# program reads a wrong host and a "$host" appended after the image is never
# found. The last section the linker writes is .reloc, whose entries hold 0x24
# bytes often enough; a zero-filled section after it keeps them out of reach.

# Ends the executable TARGET's image with the zero-filled section .tail.
function(qxt_end_image_with_zeros target)
  target_sources(${target} PRIVATE ${QXT_IMAGE_TAIL_DIR}/ImageTail.c)
  # -T with a script that only INSERTs extends the default script instead of replacing it.
  target_link_options(${target} PRIVATE -Wl,-T,${QXT_IMAGE_TAIL_DIR}/ImageTail.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QXT_IMAGE_TAIL_DIR}/ImageTail.ld)
endfunction()

set(QXT_IMAGE_TAIL_DIR ${CMAKE_CURRENT_LIST_DIR})
