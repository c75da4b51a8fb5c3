# The Debian package (cpack -G DEB, made by tools/release.sh): both programs, the desktop entry,
# icon and MIME types, the manual pages, the bash completion and the Debian copyright file.
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_gen})

# Debian wants manual pages and the changelog compressed, reproducibly (no name, no time).
find_program(QBANK_GZIP gzip REQUIRED)
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${_gen}/changelog
     "qbank (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- qbank developers <qbank@example.org>  ${_date}\n")
foreach(_file man/qbank.1 man/qbank-gui.1 changelog)
  get_filename_component(_name ${_file} NAME)
  if(EXISTS ${_pkg}/${_file})
    set(_src ${_pkg}/${_file})
  else()
    set(_src ${_gen}/${_file})
  endif()
  execute_process(COMMAND ${QBANK_GZIP} -9nc ${_src} OUTPUT_FILE ${_gen}/${_name}.gz)
endforeach()

install(FILES ${_gen}/qbank.1.gz ${_gen}/qbank-gui.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/completion.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME qbank)
install(FILES ${_pkg}/qbank-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME qbank.xml)
install(FILES ${_pkg}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qbank)
install(FILES ${_gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qbank)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qbank)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "qbank developers <qbank@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bank manager for the Quorvatek Samplers")
# The synopsis comes from the summary; these are the lines below it.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Assembles, builds and reads the banks of the Quorvatek Samplers hardware\n"
    "samplers: programs, multisamples and their WAV files, bank files and SD\n"
    "cards. Comes as a window (qbank-gui) and as a command-line tool (qbank).")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Conform loads these when it first runs; without them it says it is not available.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsndfile1, libsoxr0")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/qbank")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/dist)
include(CPack)
