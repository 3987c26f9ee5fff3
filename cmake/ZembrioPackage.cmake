# The Debian package: what it holds beyond the programs (the AppStream metadata, the
# compressed manual pages, the copyright and changelog files Debian asks for) and how CPack
# writes it. scripts/package.sh drives it.

set(ZEMBRIO_RELEASE_DATE "2026-12-09" CACHE STRING "Date of this version's release (YYYY-MM-DD)")
set(ZEMBRIO_CONTACT "zembrio@zembrio.org")
execute_process(COMMAND date -u -R -d "${ZEMBRIO_RELEASE_DATE}"
                OUTPUT_VARIABLE ZEMBRIO_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

set(ZEMBRIO_PACKAGING ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(ZEMBRIO_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${ZEMBRIO_PACKAGING}/zembrio.metainfo.xml.in
               ${ZEMBRIO_PACKAGING_OUT}/org.zembrio.Zembrio.metainfo.xml @ONLY)
configure_file(${ZEMBRIO_PACKAGING}/changelog.in ${ZEMBRIO_PACKAGING_OUT}/changelog @ONLY)
configure_file(${ZEMBRIO_PACKAGING}/zembrio-cli.1.in ${ZEMBRIO_PACKAGING_OUT}/zembrio-cli.1 @ONLY)

# Debian wants manual pages and the changelog compressed, without a time stamp in the
# gzip header so that the same sources give the same package.
set(ZEMBRIO_GZIPPED)
foreach(source IN ITEMS ${ZEMBRIO_PACKAGING}/zembrio.1 ${ZEMBRIO_PACKAGING_OUT}/zembrio-cli.1
                        ${ZEMBRIO_PACKAGING_OUT}/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${ZEMBRIO_PACKAGING_OUT}/${name}.gz)
  add_custom_command(OUTPUT ${output} COMMAND gzip -9 -n -c ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
  list(APPEND ZEMBRIO_GZIPPED ${output})
endforeach()
add_custom_target(zembrio_packaging_files ALL DEPENDS ${ZEMBRIO_GZIPPED})

install(FILES packaging/zembrio.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/zembrio.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ZEMBRIO_PACKAGING_OUT}/org.zembrio.Zembrio.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ZEMBRIO_PACKAGING_OUT}/zembrio-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(ZEMBRIO_BUILD_UI)
  install(FILES ${ZEMBRIO_PACKAGING_OUT}/zembrio.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES packaging/copyright ${ZEMBRIO_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zembrio)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zembrio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zembrio contributors")
set(CPACK_PACKAGE_CONTACT "Zembrio contributors <${ZEMBRIO_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lossless audio cutter and joiner")
set(CPACK_PACKAGE_DESCRIPTION
    "Zembrio cuts MPEG audio (MPEG-1, MPEG-2 and MPEG-2.5, layers I to III) into
fragments by copying whole frames, never re-encoding, so the sound loses
nothing. It cuts Ogg Vorbis through vcut, joins files and reports statistics
on an MPEG file. Cut points come from a grid, a CUE sheet, an XMCD (freedb)
file or a plain text list.

The package holds the Qt desktop window zembrio and the command-line tool
zembrio-cli, which drives the same engines for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_CURRENT_SOURCE_DIR}/dist)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries are found from the binaries; a library someone adds is then depended on
# without anyone writing it down here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin at run time, where shlibdeps cannot see it: without it
# the window does not open.
if(ZEMBRIO_BUILD_UI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "vorbis-tools, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
