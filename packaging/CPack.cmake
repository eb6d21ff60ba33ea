# Desktop integration files and the Debian package.
# Included from the top-level CMakeLists.txt after every program target exists.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessilor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessilor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tessilor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME tessilor)
set(CPACK_PACKAGE_VENDOR "Quar Programming")
set(CPACK_PACKAGE_CONTACT "Quar Programming <tessilor@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns pictures into text art")
set(CPACK_PACKAGE_DESCRIPTION
  "Quar Image Tessilor opens a JPEG, BMP, GIF, PNG, WebP or TIFF picture and turns it into text art:\n characters picked by brightness from a monospaced font, or a mosaic of figure\n glyphs in each cell's colour. tessilor-cli does the same from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
# Installs with the real prefix below a staging DESTDIR, so that the install
# step knows it is /usr and puts the fontconfig link into /etc/fonts/conf.d.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries are found by dpkg-shlibdeps; the run-time pieces that are
# loaded by name are listed: Qt's image plugins (GIF and PNG ship in
# libqt6gui6, WebP and TIFF in qt6-image-formats-plugins) and fonts by family.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqt6network6 (>= 6.4), qt6-image-formats-plugins (>= 6.4), fonts-dejavu-core, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build[^/]*/;/\\\\.git/")
include(CPack)

# Checks of the installed tree and the package. The help file is there when
# it is built (TESSILOR_BUILD_HELP and chmcmd).
if(TESSILOR_BUILD_TESTS)
  set(_expect bin/tessilor bin/tessilor-cli ${CMAKE_INSTALL_LIBDIR}/tessilor/tessilor-cli-full.so
    share/fonts/truetype/tessilor/GLYFA__1.TTF share/fonts/truetype/tessilor/GLYFA__2.TTF
    share/fontconfig/conf.avail/31-tessilor-text-fonts.conf)
  if(TARGET tessilor_help)
    list(APPEND _expect share/tessilor/tessilor.chm)
  endif()
  list(APPEND _expect share/tessilor/help/index.html share/tessilor/help/help.css
    share/man/man1/tessilor-cli.1.gz)
  add_test(NAME install_prefix COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-install.sh ${CMAKE_BINARY_DIR} ${_expect})
  add_test(NAME install_deb COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-deb.sh ${CMAKE_BINARY_DIR} ${_expect})
  set_tests_properties(install_prefix install_deb PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
  if(TESSILOR_TCMALLOC)
    set_tests_properties(install_deb PROPERTIES ENVIRONMENT "DEB_EXTRA_DEPENDS=libtcmalloc-minimal4")
  endif()
endif()
