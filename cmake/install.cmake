# The installed layout (cmake --install BUILD --prefix P) and the Debian
# package of the same content (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS lorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET lorvane)
  install(TARGETS lorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES resources/lorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES resources/lorvane.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
endif()
install(FILES docs/lorvane-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/lorvane-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lorvane-cli)
install(FILES README.md docs/bad-input.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lorvane)
install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Genetic distances between strains from AFLP band data")
set(CPACK_PACKAGE_CONTACT "Lorvane developers <lorvane@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# LAPACK is loaded when first needed, out of the shared-library dependencies' sight.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${LORVANE_LAPACK_PACKAGES}")
set(CPACK_STRIP_FILES ON)
include(CPack)
