# Installs the build into a scratch prefix and checks what a desktop needs: the program,
# a valid menu entry that starts it and the icon that entry names.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/quillon share/applications/quillon.desktop
          share/icons/hicolor/scalable/apps/quillon.svg)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "missing after install: ${f}")
    endif()
endforeach()
execute_process(COMMAND desktop-file-validate "${PREFIX}/share/applications/quillon.desktop"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "error")
    message(FATAL_ERROR "desktop entry invalid: ${out}")
endif()
file(STRINGS "${PREFIX}/share/applications/quillon.desktop" exec REGEX "^(Exec|Icon)=")
if(NOT exec STREQUAL "Exec=quillon;Icon=quillon")
    message(FATAL_ERROR "desktop entry does not start the installed program: ${exec}")
endif()
execute_process(COMMAND xmllint --noout "${PREFIX}/share/icons/hicolor/scalable/apps/quillon.svg"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "icon is not well-formed SVG")
endif()
