# Installs the man page, the editor support files and the examples, and
# configures CPack to build a Debian package. Included by the top-level
# CMakeLists.txt after the install rules of the program itself.

include(GNUInstallDirs)

set(ROZEDOV_DATA_DIR "${CMAKE_INSTALL_DATADIR}/rozedov")

install(FILES "${PROJECT_SOURCE_DIR}/doc/rozedov.1"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# Editor support: Vim runtime files and a VS Code extension folder.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/editors/vim/"
        DESTINATION "${ROZEDOV_DATA_DIR}/vim")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/editors/vscode/"
        DESTINATION "${ROZEDOV_DATA_DIR}/vscode")

# The examples directory is globbed at install time, so examples added after
# configuring are installed too; it is skipped when absent.
if(EXISTS "${PROJECT_SOURCE_DIR}/examples")
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/"
          DESTINATION "${ROZEDOV_DATA_DIR}/examples")
endif()

# ---- Debian package --------------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "rozedov")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "rozedov developers")
set(CPACK_PACKAGE_CONTACT "rozedov developers <rozedov@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Cross-assembler for the Vorn teaching processor")
set(CPACK_PACKAGE_DESCRIPTION
    "rozedov assembles Vorn assembly sources, run through GCC's C preprocessor, "
    "into VHDL text: the architecture of an instruction ROM, data-memory "
    "assignments and an optional listing. Includes a man page and syntax "
    "highlighting for Vim and VS Code.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
# The program runs GCC's cc1, linked beside it at its absolute path. That
# path belongs to one GCC version, so the package also depends on the package
# that owns it (cpp-12, say); "gcc" alone could bring another version and
# leave the link dangling.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gcc")
execute_process(COMMAND dpkg-query --search "${ROZEDOV_CC1}"
                OUTPUT_VARIABLE _cc1_owner RESULT_VARIABLE _cc1_owner_status ERROR_QUIET)
if(_cc1_owner_status EQUAL 0 AND _cc1_owner MATCHES "^([^:,]+):")
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${CMAKE_MATCH_1}")
endif()
find_program(ROZEDOV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ROZEDOV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
