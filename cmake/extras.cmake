# guidepack-dump, installation and the Debian package.

# Man pages are installed compressed, as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(guidepack_man_pages)
foreach(page guidepack.1 guidepack-dump.1)
  set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/man/${page} > ${compressed}
    DEPENDS ${CMAKE_SOURCE_DIR}/man/${page}
    VERBATIM)
  list(APPEND guidepack_man_pages ${compressed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${guidepack_man_pages})

include(GNUInstallDirs)
install(TARGETS guidepack guidepack-dump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${guidepack_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/guide-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME guidepack)
set(CPACK_PACKAGE_VENDOR "guidepack developers")
set(CPACK_PACKAGE_CONTACT "guidepack developers <guidepack@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert XMLTV TV listings to PRG1 guide files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "convert XMLTV TV listings to PRG1 guide files
 guidepack reads a TV listing in the XMLTV format, as written by the XMLTV
 grabbers, and writes the compact PRG1 guide file loaded by TV devices: for
 each channel its icon and name, for each programme its times, title and
 eleven text fields in single-byte text.
 .
 guidepack-dump checks a guide file and shows what it holds, as text or JSON.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
