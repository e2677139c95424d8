# Installs the desktop entry and the application icon into the hicolor theme, so a
# desktop shows the program under its own name and emblem.
set(_kavrin_resources ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${_kavrin_resources}/kavrin.desktop DESTINATION share/applications)
foreach(_kavrin_size 16 32 48 128 256)
    install(FILES ${_kavrin_resources}/icons/kavrin-${_kavrin_size}.png
        DESTINATION share/icons/hicolor/${_kavrin_size}x${_kavrin_size}/apps
        RENAME kavrin.png)
endforeach()
install(FILES ${_kavrin_resources}/pictures/emblem.svg
    DESTINATION share/icons/hicolor/scalable/apps RENAME kavrin.svg)
unset(_kavrin_size)
unset(_kavrin_resources)
