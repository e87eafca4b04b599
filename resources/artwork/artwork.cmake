# The artwork generator. Not part of the normal build: the pictures it draws
# are kept in resources/images and resources/icons. After changing the
# drawing code, regenerate them with
#   cmake --build <build> --target tavix_artwork
# which builds make_artwork and runs it on the source tree's resources folder.
# Included from the top-level CMakeLists.txt.
find_package(Qt6 REQUIRED COMPONENTS Gui)

file(GLOB tavix_artwork_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
add_executable(make_artwork EXCLUDE_FROM_ALL ${tavix_artwork_sources})
target_link_libraries(make_artwork PRIVATE Qt6::Gui)
target_include_directories(make_artwork PRIVATE ${PROJECT_SOURCE_DIR})

add_custom_target(tavix_artwork
  COMMAND make_artwork ${PROJECT_SOURCE_DIR}/resources
  COMMENT "Drawing the application's pictures into resources/"
  VERBATIM)
