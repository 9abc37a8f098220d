# Install layout and the Debian package.
#
# `cmake --install build --prefix DIR` lays out the program directory under DIR (the program and
# its tools with Containers/, Decoders/, Filters/, Languages/, Lang/ and Components/ beside them,
# as the program resolves them), relative links in DIR/bin, and the desktop integration (desktop
# entry, hicolor icons, AppStream metainfo, man pages) under DIR/share.
#
# `cpack -G DEB` in the build tree (or scripts/make-deb.sh) packages the same install with the
# program directory at /opt/kavello and the desktop integration where the desktop looks for it:
# /usr/bin links and /usr/share. CPack runs the install with KAVELLO_PACKAGE set in the
# environment (cpack_project_config.cmake below), which is how the rules below tell the two
# apart at install time, so one build tree serves both.
set(KAVELLO_TOOLS kavello-probe kavello-graph kavello-subconv)

foreach(tool IN LISTS KAVELLO_TOOLS)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION .)
  endif()
endforeach()
install(DIRECTORY ${KAVELLO_PROGRAM_DIR}/Components DESTINATION . OPTIONAL
        PATTERN "*.a" EXCLUDE)

# Two desktop entries: a plain install starts the program by its full path, the package by the
# /usr/bin link on PATH.
set(KAVELLO_INSTALLED_EXEC ${CMAKE_INSTALL_PREFIX}/bin/kavello)
configure_file(data/desktop/kavello.desktop.in ${CMAKE_BINARY_DIR}/desktop/plain/kavello.desktop @ONLY)
set(KAVELLO_INSTALLED_EXEC kavello)
configure_file(data/desktop/kavello.desktop.in ${CMAKE_BINARY_DIR}/desktop/package/kavello.desktop @ONLY)

file(GLOB kv_man_pages ${CMAKE_SOURCE_DIR}/data/man/*.1)
install(CODE "
  if(\"\$ENV{KAVELLO_PACKAGE}\")
    set(kv_share /usr/share)
    set(kv_bin /usr/bin)
    set(kv_target /opt/kavello/)
    set(kv_desktop \"${CMAKE_BINARY_DIR}/desktop/package/kavello.desktop\")
  else()
    set(kv_share \"\${CMAKE_INSTALL_PREFIX}/share\")
    set(kv_bin \"\${CMAKE_INSTALL_PREFIX}/bin\")
    set(kv_target ../)
    set(kv_desktop \"${CMAKE_BINARY_DIR}/desktop/plain/kavello.desktop\")
  endif()
  file(INSTALL \"\${kv_desktop}\" DESTINATION \"\${kv_share}/applications\")
  file(INSTALL \"${CMAKE_SOURCE_DIR}/data/desktop/io.github.kavello.Kavello.metainfo.xml\"
       DESTINATION \"\${kv_share}/metainfo\")
  file(INSTALL \"${CMAKE_SOURCE_DIR}/data/icons/hicolor\" DESTINATION \"\${kv_share}/icons\")
  file(INSTALL ${kv_man_pages} DESTINATION \"\${kv_share}/man/man1\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${kv_bin}\")
  foreach(name kavello ${KAVELLO_TOOLS})
    file(CREATE_LINK \"\${kv_target}\${name}\" \"\$ENV{DESTDIR}\${kv_bin}/\${name}\" SYMBOLIC)
  endforeach()
")

set(CPACK_PACKAGE_NAME kavello)
set(CPACK_PACKAGE_VENDOR "The Kavello developers")
set(CPACK_PACKAGE_CONTACT "The Kavello developers <kavello@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video player with subtitles, teletext and a stream analyzer")
set(CPACK_PACKAGE_DESCRIPTION "Kavello plays local media files by building its own filter graph from
descriptor files beside the program. Around playback it draws subtitles in seven text layouts,
an on-screen display and teletext pages, captures frames, chains filter plug-ins and offers a
stream analyzer that charts and exports per-frame statistics.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/kavello)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plug-ins at run time, so no library scan can see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, qt6-wayland, xdg-utils, desktop-file-utils, shared-mime-info")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
file(WRITE ${CMAKE_BINARY_DIR}/cpack_project_config.cmake "set(ENV{KAVELLO_PACKAGE} 1)\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack_project_config.cmake)
include(CPack)
