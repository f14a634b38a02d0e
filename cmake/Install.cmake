# What `cmake --install` puts where, and the Debian package made from it (`cpack -G DEB`,
# or scripts/build-deb.sh).
include(GNUInstallDirs)

set(VINTREL_APP_ID org.vintrel.Vintrel2)
set(VINTREL_DATA ${PROJECT_SOURCE_DIR}/data)
set(VINTREL_GENERATED ${CMAKE_BINARY_DIR}/generated)

install(TARGETS vintrel2 vintrel2-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VINTREL_DATA}/${VINTREL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${VINTREL_DATA}/${VINTREL_APP_ID}.metainfo.xml.in
               ${VINTREL_GENERATED}/${VINTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${VINTREL_GENERATED}/${VINTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${VINTREL_DATA}/icons/${VINTREL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${VINTREL_DATA}/icons/${VINTREL_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${VINTREL_APP_ID}.png)
endforeach()

# Manual pages and the changelog are installed compressed, reproducibly (no name or time in
# the gzip header), as Debian policy asks.
find_program(VINTREL_GZIP gzip REQUIRED)
function(vintrel_gzip source compressed)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND ${VINTREL_GZIP} -9n -c ${source} > ${compressed}
                     DEPENDS ${source})
endfunction()

set(compressed_docs)
foreach(page vintrel2 vintrel2-scan)
  configure_file(${VINTREL_DATA}/man/${page}.1.in ${VINTREL_GENERATED}/${page}.1 @ONLY)
  vintrel_gzip(${VINTREL_GENERATED}/${page}.1 ${VINTREL_GENERATED}/${page}.1.gz)
  list(APPEND compressed_docs ${VINTREL_GENERATED}/${page}.1.gz)
  install(FILES ${VINTREL_GENERATED}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
vintrel_gzip(${VINTREL_DATA}/changelog ${VINTREL_GENERATED}/changelog.gz)
list(APPEND compressed_docs ${VINTREL_GENERATED}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_docs})
install(FILES ${VINTREL_GENERATED}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vintrel2)

install(FILES ${VINTREL_DATA}/completion/vintrel2-scan
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vintrel2
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vintrel 2 developers")
set(CPACK_PACKAGE_CONTACT "The Vintrel 2 developers <vintrel2@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Count the file types of a folder tree and work on the files found")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vintrel 2 analyses a folder tree: one row per file type with its description,
count and total size, or the files that match filters on type, name, dates,
size and attributes, in a list from which files can be copied, moved, trashed,
opened and shown in the file manager. vintrel2-scan gives the same tables as
CSV for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's binaries are stripped; their debug symbols go into vintrel2-dbgsym.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_OBJCOPY_EXECUTABLE ${PROJECT_SOURCE_DIR}/cmake/objcopy-strip.sh)
# Needed at run time without being linked: the MIME database the type descriptions come from.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
# Wayland sessions, the desktop's theme, and the window's face (Tahoma).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-gtk-platformtheme, fonts-wine")
include(CPack)
