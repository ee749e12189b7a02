# `cpack -G DEB` in the build folder makes tavrin_<version>_amd64.deb from the
# install rules: the program and liblumbra.so in /usr/lib/tavrin, `tavrin` on
# the PATH, menu entry, icons and metainfo, and, when the drivers were built
# for Windows, their packages under /usr/share/tavrin/drivers.

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian wants the change log and manual page compressed, reproducibly (no
# name or time stamp in the gzip header).
set(packaging_gz)
foreach(name changelog tavrin.1)
  set(gz ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(
    OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/${name} > ${gz}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${name}
    VERBATIM)
  list(APPEND packaging_gz ${gz})
endforeach()
add_custom_target(tavrin-packaging-docs ALL DEPENDS ${packaging_gz})
if(TARGET tavrin)
  add_dependencies(tavrin tavrin-packaging-docs)
endif()
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/tavrin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "${TAVRIN_PUBLISHER}")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <tavrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program for the Tavrin PCI evaluation board")
# The summary above becomes the first line; CPack indents these lines and
# turns the empty one into Debian's paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tavrin finds the Orvel chips of Tavrin boards in the machine, shows their
configuration registers, mode registers and EEPROM as hexadecimal dumps,
changes single bytes or words, reads and writes the board's ports, reads its
counter and opens the counter's interrupt. Its user interface is Japanese.

The package includes a simulated board library, so the program can be tried
without a board.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries; the Japanese fonts and Qt's Japanese
# texts for its standard buttons are looked up by name at run time, so they
# are listed by hand.
# (CPack also adds ldconfig calls for any library under /usr/lib, which lintian
# warns about; they are harmless for the private folder.)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
# Debian ships no debugging symbols inside the program's own package.
set(CPACK_STRIP_FILES ON)
# The drivers component, when the Windows build installs one, joins the same
# package: every component lands in the one .deb.
set(CPACK_DEB_COMPONENT_INSTALL OFF)

include(CPack)
