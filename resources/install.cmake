# Installation of TavixPhoto and the files the desktop needs, the help pages
# beside the executable in the build tree, and the desktop files embedded in
# the program for the per-user registration at start-up
# (app/DesktopIntegration.cpp). Included from app/CMakeLists.txt once the
# targets tavix_app and TavixPhoto exist.
include(GNUInstallDirs)

set(tavix_resources ${PROJECT_SOURCE_DIR}/resources)
set(tavix_desktop_files
  ${tavix_resources}/desktop/TavixPhoto.desktop
  ${tavix_resources}/desktop/tavix-photo.xml)
file(GLOB tavix_help_pages CONFIGURE_DEPENDS
  ${tavix_resources}/help/*.html ${tavix_resources}/help/*.css)

# ":/tavix/desktop/TavixPhoto.desktop" and ":/tavix/desktop/tavix-photo.xml".
# The target form keeps the resources of the static library alive in every
# program that links it.
qt_add_resources(tavix_app tavix_desktop
  PREFIX /tavix
  BASE ${tavix_resources}
  FILES ${tavix_desktop_files})

# The program run from the build folder finds its help in <build>/help.
set(tavix_help_copies "")
foreach(page IN LISTS tavix_help_pages)
  get_filename_component(name ${page} NAME)
  list(APPEND tavix_help_copies ${PROJECT_BINARY_DIR}/help/${name})
endforeach()
add_custom_command(OUTPUT ${tavix_help_copies}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E copy ${tavix_help_pages} ${PROJECT_BINARY_DIR}/help
  DEPENDS ${tavix_help_pages}
  COMMENT "Copying the help pages beside TavixPhoto"
  VERBATIM)
add_custom_target(tavix_help ALL DEPENDS ${tavix_help_copies})
add_dependencies(TavixPhoto tavix_help)

# The program finds the codec library in ../lib once installed.
set_target_properties(TavixPhoto PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS TavixPhoto RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS TavixLib LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
install(FILES ${tavix_resources}/desktop/TavixPhoto.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${tavix_resources}/desktop/tavix-photo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${tavix_resources}/icons/hicolor
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
  FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")
install(FILES ${tavix_help_pages} DESTINATION ${CMAKE_INSTALL_DATADIR}/TavixPhoto/help)

# Refresh the desktop's caches when installing straight onto this machine;
# a staged install (DESTDIR, packaging) leaves that to the package's scripts.
install(CODE "set(tavix_data_dir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(tavix_update_mime update-mime-database)
    find_program(tavix_update_desktop update-desktop-database)
    set(data "${tavix_data_dir}")
    if(NOT IS_ABSOLUTE "${data}")
      set(data "${CMAKE_INSTALL_PREFIX}/${data}")
    endif()
    if(tavix_update_mime)
      execute_process(COMMAND "${tavix_update_mime}" "${data}/mime" OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(tavix_update_desktop)
      execute_process(COMMAND "${tavix_update_desktop}" "${data}/applications"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
