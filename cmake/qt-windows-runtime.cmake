# Windows builds: the Qt DLLs, the plugins Qt loads and the mingw runtime DLLs that Qt's DLLs
# import, copied beside the programs and tests (bin/), so that they start there under Wine or
# Windows as they do from an installed folder. Copied when the build is configured; releases
# pick what the programs import themselves (tools/release.sh).
get_filename_component(QBANK_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
set(_bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(GLOB _qt_dlls ${QBANK_QT_PREFIX}/bin/*.dll)
file(COPY ${_qt_dlls} DESTINATION ${_bin})
foreach(_kind platforms styles imageformats)
  if(EXISTS ${QBANK_QT_PREFIX}/plugins/${_kind})
    file(COPY ${QBANK_QT_PREFIX}/plugins/${_kind} DESTINATION ${_bin})
  endif()
endforeach()
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${_path}" AND EXISTS "${_path}")
    file(COPY ${_path} DESTINATION ${_bin})
  endif()
endforeach()
# The offscreen platform (the tests) draws with the fonts in lib/fonts beside the programs; the
# windows platform uses the system's.
file(GLOB _fonts /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf)
if(_fonts)
  file(COPY ${_fonts} DESTINATION ${_bin}/lib/fonts)
endif()
