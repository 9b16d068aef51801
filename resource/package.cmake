# What an installation holds.

include(GNUInstallDirs)
install(TARGETS tarvik tarvik-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The translations' build leaves its compiled .qm files in ${PROJECT_BINARY_DIR}/translations.
set(TARVIK_TRANSLATIONS_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/tarvik/translations)
install(DIRECTORY ${PROJECT_BINARY_DIR}/translations/
        DESTINATION ${TARVIK_TRANSLATIONS_INSTALL_DIR} OPTIONAL FILES_MATCHING PATTERN "*.qm")

if(NOT UNIX OR APPLE)
    return()
endif()

set(TARVIK_APPSTREAM_ID example.tarvik.DuplicateFinder)
set(desktop ${PROJECT_SOURCE_DIR}/resource/desktop)
install(FILES ${desktop}/tarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop}/tarvik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${TARVIK_APPSTREAM_ID}.metainfo.xml)
foreach(size 48 64 128 256)
    install(FILES ${desktop}/icons/tarvik_${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tarvik.png)
endforeach()

# Manual pages, compressed as Debian wants them: no name or time in the gzip header, so that
# the same sources give the same bytes.
find_program(TARVIK_GZIP gzip)
set(tarvik_gzipped)
function(tarvik_gzip source output)
    add_custom_command(OUTPUT ${output}
                       COMMAND ${TARVIK_GZIP} -9n -c ${source} > ${output}
                       DEPENDS ${source} VERBATIM)
    set(tarvik_gzipped ${tarvik_gzipped} ${output} PARENT_SCOPE)
endfunction()
foreach(page tarvik tarvik-scan)
    configure_file(${PROJECT_SOURCE_DIR}/resource/man/${page}.1.in
                   ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
    tarvik_gzip(${PROJECT_BINARY_DIR}/man/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

add_custom_target(tarvik_docs ALL DEPENDS ${tarvik_gzipped})
