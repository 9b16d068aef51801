# What an installation holds, and the Debian package made of it (scripts/package.sh).

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

# Manual pages and the package's changelog, compressed as Debian wants them: no name or time
# in the gzip header, so that the same sources give the same bytes.
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

option(TARVIK_DEBIAN_PACKAGE "Install the Debian package's copyright and changelog too" OFF)
set(TARVIK_DEBIAN_RELEASE 1)
if(TARVIK_DEBIAN_PACKAGE)
    # The package's version is the project's; its changelog and metadata must name it.
    set(debian_version ${PROJECT_VERSION}-${TARVIK_DEBIAN_RELEASE})
    file(STRINGS ${PROJECT_SOURCE_DIR}/resource/debian/changelog top LIMIT_COUNT 1)
    file(READ ${desktop}/tarvik.metainfo.xml metainfo)
    if(NOT top MATCHES "^tarvik \\(${debian_version}\\) ")
        message(FATAL_ERROR "resource/debian/changelog: the first entry must be ${debian_version}")
    endif()
    if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
        message(FATAL_ERROR "tarvik.metainfo.xml: the first release must be ${PROJECT_VERSION}")
    endif()
    set(doc ${CMAKE_INSTALL_DATADIR}/doc/tarvik)
    tarvik_gzip(${PROJECT_SOURCE_DIR}/resource/debian/changelog
                ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz
                  ${PROJECT_SOURCE_DIR}/resource/debian/copyright DESTINATION ${doc})
endif()
add_custom_target(tarvik_docs ALL DEPENDS ${tarvik_gzipped})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_CONTACT "Tarvik Duplicate Finder developers <maintainers@tarvik.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://tarvik.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find files with identical content and trash the copies")
# Lines of at most 79 characters: the extended description is read on 80-column terminals.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvik Duplicate Finder finds the files with identical content in the
folders you choose and shows them as numbered groups while the scan runs.
From the result you open a file or its folder, mark the copies by a rule
and move them to the trash, or save the groups as text, CSV or JSON.

Every file is compared byte for byte before it is shown as a copy, nothing
is ever deleted other than by moving it to the trash, and Trash Marked
never takes the last copy of a file unasked.

The package also holds tarvik-scan, the same scan for scripts and terminals.")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TARVIK_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The linker's libraries come from dpkg-shlibdeps; the SQLite driver is a plug-in Qt loads at
# run time (the platform and GIF plug-ins come with libqt5gui5).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt5sql5-sqlite)
# Opening a file or a folder from the result goes through xdg-open; Qt's own dialogs and
# messages speak the desktop's language with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qttranslations5-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
