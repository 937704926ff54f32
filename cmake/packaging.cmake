# The Debian package: `cpack -G DEB` in a configured and built tree makes vistrel_<version>_<arch>.deb
# with the program, its desktop entry, AppStream data, icons, manual page and help page.
install(FILES ${PROJECT_SOURCE_DIR}/data/org.vistrel.Vistrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog go compressed, without a time stamp, as Debian has them; the
# copyright file in Debian's machine-readable form.
find_program(VISTREL_GZIP gzip REQUIRED)
set(compressed)
foreach(pair "vistrel.1;vistrel.1.gz" "changelog;changelog.gz")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${target}
                       COMMAND ${VISTREL_GZIP} -9nc ${PROJECT_SOURCE_DIR}/data/${source} >
                               ${PROJECT_BINARY_DIR}/${target}
                       DEPENDS ${PROJECT_SOURCE_DIR}/data/${source}
                       COMMENT "Compressing ${source}")
    list(APPEND compressed ${PROJECT_BINARY_DIR}/${target})
endforeach()
add_custom_target(vistrel_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${PROJECT_BINARY_DIR}/vistrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrel)

set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR "Vistrel Picture Works")
set(CPACK_PACKAGE_CONTACT "Vistrel Picture Works <support@vistrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture browser with slide show and printing")
# Lines of the long description stay under 80 characters in the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrel shows a folder tree, the JPEG, GIF and BMP pictures of the chosen
folder sorted by name or by date, and the selected picture scaled to fit or at
its own size. It runs slide shows, deletes pictures after asking, lists newly
arrived pictures by itself and prints through a print preview.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vistrel.org/")
# Owner root and the usual modes for every file and folder, whatever the build tree had.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Libraries from the program's links; the rest is loaded at run time: the SVG plugins draw the
# toolbar, the fonts the interface and the printed footer, xdg-open opens the help page.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_GENERATOR DEB)
include(CPack)
