# Installs the man page, the editor support files and the examples, and
# configures CPack to build a Debian package. Included by the top-level
# CMakeLists.txt after the install rules of the program itself.

include(GNUInstallDirs)

set(ROZEDOV_DATA_DIR "${CMAKE_INSTALL_DATADIR}/rozedov")

# The man page and the changelog are installed compressed, as Debian wants
# them; gzip -n keeps the files the same from build to build.
find_program(ROZEDOV_GZIP gzip REQUIRED)
set(ROZEDOV_COMPRESSED_DOCS "")
foreach(_doc rozedov.1 changelog)
  add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/${_doc}.gz"
    COMMAND sh -c "\"${ROZEDOV_GZIP}\" -9nc \"$1\" > \"$2\"" gzip "${PROJECT_SOURCE_DIR}/doc/${_doc}"
            "${PROJECT_BINARY_DIR}/${_doc}.gz"
    DEPENDS "${PROJECT_SOURCE_DIR}/doc/${_doc}"
    VERBATIM)
  list(APPEND ROZEDOV_COMPRESSED_DOCS "${PROJECT_BINARY_DIR}/${_doc}.gz")
endforeach()
add_custom_target(rozedov_docs ALL DEPENDS ${ROZEDOV_COMPRESSED_DOCS})

install(FILES "${PROJECT_BINARY_DIR}/rozedov.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_BINARY_DIR}/changelog.gz" "${PROJECT_SOURCE_DIR}/doc/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# The program is linked statically on purpose (see CMakeLists.txt).
install(FILES "${PROJECT_SOURCE_DIR}/doc/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME rozedov)

# Editor support: Vim runtime files where Vim looks for them (the site
# folder on every Vim's runtimepath), and a VS Code extension folder.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/editors/vim/"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/vim/vimfiles")
# The VS Code folder is the extension's source, to build the .vsix from: not
# the npm packages or the packages built in the checkout.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/editors/vscode/"
        DESTINATION "${ROZEDOV_DATA_DIR}/vscode"
        PATTERN "node_modules" EXCLUDE
        PATTERN "*.vsix" EXCLUDE)

# The examples directory is globbed at install time, so examples added after
# configuring are installed too; it is skipped when absent.
if(EXISTS "${PROJECT_SOURCE_DIR}/examples")
  # Sources only: never what a run in the checkout left there.
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/"
          DESTINATION "${ROZEDOV_DATA_DIR}/examples"
          FILES_MATCHING PATTERN "*.s" PATTERN "*.inc" PATTERN "*.vhd" PATTERN "README.md")
endif()

# ---- Debian package --------------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "rozedov")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "rozedov developers")
set(CPACK_PACKAGE_CONTACT "rozedov developers <rozedov@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Cross-assembler for the Vorn teaching processor")
# Lines of at most 80 characters, as Debian's description field wants; the
# summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "rozedov assembles Vorn assembly sources, run through GCC's C preprocessor,\n"
    "into VHDL text: the architecture of an instruction ROM, data-memory\n"
    "assignments and an optional listing, and into memory images for FPGA\n"
    "tools (MIF, COE, Intel HEX, Verilog readmem files, raw binary). Includes\n"
    "a man page and editor support for Vim and VS Code.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
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
