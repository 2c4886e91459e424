# Every folder of the product is a layer and a static library qxt_<folder>.
# A layer may include only its own folder and the folders below it: its
# include root is a folder of the build tree holding links to exactly those
# folders, so an include of a folder above it is not found and fails the build.

set(QXT_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# The include root of a layer, with links to the given source folders.
function(qxt_layer_root var name)
  set(root ${QXT_LAYER_ROOTS}/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${name} ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(${var} ${root} PARENT_SCOPE)
endfunction()

# qxt_add_layer(NAME [BELOW layer...] [SEES folder...] [LIBS lib...]): the
# library qxt_NAME of the sources in the calling folder, linking the layers
# BELOW it (whose include roots come with them) and allowed to include those
# layers and the folders SEES (headers only) as well as its own.
function(qxt_add_layer name)
  cmake_parse_arguments(ARG "" "" "BELOW;SEES;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(qxt_${name} STATIC ${sources})
  target_compile_options(qxt_${name} PRIVATE ${QXT_PRODUCT_OPTIONS})
  qxt_layer_root(root ${name} ${ARG_BELOW} ${ARG_SEES})
  target_include_directories(qxt_${name} PUBLIC ${root})
  list(TRANSFORM ARG_BELOW PREPEND qxt_)
  target_link_libraries(qxt_${name} PUBLIC ${ARG_BELOW} ${ARG_LIBS})
endfunction()
