# Installation.

# Man pages go in as they are: compressing them is the packaging's job.
include(GNUInstallDirs)
install(TARGETS guidepack guidepack-dump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES man/guidepack.1 man/guidepack-dump.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/guide-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
