# The Debian package: `cpack -G DEB` in a configured and built tree makes vistrel_<version>_<arch>.deb
# with the program, its desktop entry, AppStream data, icons, manual page and help page.
install(FILES ${PROJECT_SOURCE_DIR}/data/org.vistrel.Vistrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR "Vistrel Picture Works")
set(CPACK_PACKAGE_CONTACT "Vistrel Picture Works <vistrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture browser with slide show and printing")
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrel shows a folder tree, the JPEG, GIF and BMP pictures of the chosen folder sorted by
name or by date, and the selected picture scaled to fit or at its own size. It runs slide
shows, deletes pictures after asking, lists newly arrived pictures by itself and prints
through a print preview.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Libraries from the program's links; the rest is loaded at run time: the SVG plugins draw the
# toolbar, the fonts the interface and the printed footer, xdg-open opens the help page.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_GENERATOR DEB)
include(CPack)
