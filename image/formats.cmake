# Sources of the file formats of the image model: one file per raster format
# of our own, one glue file per outside library, and the .tvx operations.
target_sources(tavix_image PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bmp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pcx.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pnm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_glue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tiff_glue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_glue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tvx.cpp
)
