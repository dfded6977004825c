# SPDX-License-Identifier: GPL-3.0-or-later

# Where `cmake --install` puts Tavimo, and the packages CPack makes of it:
# a Debian package on Linux, Tavimo.app in a disk image on macOS.
include(GNUInstallDirs)

# A Debian revision of its own, so that the package's changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(TAVIMO_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

set(tavimo_icon_svg ${PROJECT_SOURCE_DIR}/resources/icon/TavimoIcon.svg)
# Rendered from the SVG by resources/ for the icns file; reused for the icon theme.
set(tavimo_icon_png_dir ${PROJECT_BINARY_DIR}/resources/icon)
set(tavimo_icon_png_sizes 128 256 512)
set(tavimo_icon_icns ${PROJECT_BINARY_DIR}/resources/TavimoIcon.icns)

if(APPLE)
    # Tavimo.app/Contents/MacOS/Tavimo with TavimoIcon.icns in Contents/Resources.
    # Source file properties belong to a directory: set them where the target lives.
    set_source_files_properties(${tavimo_icon_icns} TARGET_DIRECTORY tavimo PROPERTIES
        GENERATED TRUE
        MACOSX_PACKAGE_LOCATION Resources)
    target_sources(tavimo PRIVATE ${tavimo_icon_icns})
    set_target_properties(tavimo PROPERTIES
        OUTPUT_NAME Tavimo
        MACOSX_BUNDLE TRUE
        MACOSX_BUNDLE_INFO_PLIST ${PROJECT_SOURCE_DIR}/packaging/macos/Info.plist.in
        MACOSX_BUNDLE_BUNDLE_NAME Tavimo
        MACOSX_BUNDLE_EXECUTABLE_NAME Tavimo
        MACOSX_BUNDLE_GUI_IDENTIFIER ${TAVIMO_APP_ID}
        MACOSX_BUNDLE_ICON_FILE TavimoIcon
        MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
        MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
        MACOSX_BUNDLE_COPYRIGHT "Tavimo")
    install(TARGETS tavimo BUNDLE DESTINATION .)
    set(CPACK_GENERATOR DragNDrop)
else()
    install(TARGETS tavimo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # The desktop entry is named after the application identifier, which Qt also
    # reports as the windows' desktop file name: the taskbar matches them up.
    set(tavimo_desktop_entry ${PROJECT_BINARY_DIR}/packaging/${TAVIMO_APP_ID}.desktop)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/tavimo.desktop.in
        ${tavimo_desktop_entry} @ONLY)
    install(FILES ${tavimo_desktop_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    set(tavimo_metainfo ${PROJECT_BINARY_DIR}/packaging/${TAVIMO_APP_ID}.metainfo.xml)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/tavimo.metainfo.xml.in
        ${tavimo_metainfo} @ONLY)
    install(FILES ${tavimo_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    foreach(size IN LISTS tavimo_icon_png_sizes)
        install(FILES ${tavimo_icon_png_dir}/TavimoIcon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${TAVIMO_APP_ID}.png)
    endforeach()
    install(FILES ${tavimo_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TAVIMO_APP_ID}.svg)

    # What Debian asks of every package: the licence, a changelog and a manual page, the
    # latter two compressed without a name or time stamp so that builds are reproducible.
    find_program(TAVIMO_GZIP gzip REQUIRED)
    set(tavimo_debian_dir ${PROJECT_BINARY_DIR}/packaging/debian)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/debian/changelog.in
        ${tavimo_debian_dir}/changelog.Debian @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/tavimo.1.in
        ${tavimo_debian_dir}/tavimo.1 @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/lockd/tavimo-lockd.8.in
        ${tavimo_debian_dir}/tavimo-lockd.8 @ONLY)
    foreach(plain IN ITEMS changelog.Debian tavimo.1 tavimo-lockd.8)
        add_custom_command(OUTPUT ${tavimo_debian_dir}/${plain}.gz
            COMMAND ${TAVIMO_GZIP} -9nkf ${tavimo_debian_dir}/${plain}
            DEPENDS ${tavimo_debian_dir}/${plain} VERBATIM)
    endforeach()
    add_custom_target(tavimo_debian_docs ALL DEPENDS
        ${tavimo_debian_dir}/changelog.Debian.gz ${tavimo_debian_dir}/tavimo.1.gz
        ${tavimo_debian_dir}/tavimo-lockd.8.gz)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/debian/copyright
        ${tavimo_debian_dir}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavimo)
    install(FILES ${tavimo_debian_dir}/tavimo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${tavimo_debian_dir}/tavimo-lockd.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
    # Relocations read-only before the programs run; the service runs as root.
    foreach(program IN ITEMS tavimo tavimo-lockd)
        if(TARGET ${program})
            target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
        endif()
    endforeach()

    set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VENDOR Tavimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Locks the keyboard while you wipe it clean")
# Debian shows the description as it stands: lines kept under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "With one click no key press, release, modifier or media key reaches any"
    "program. Every display is covered by a glass overlay, the mouse stays free,"
    "and one more click gives the keyboard back."
    "."
    "On Linux it locks through the Tavimo keyboard-lock service, which holds the"
    "keyboards at the kernel's input layer for the local, active session, on"
    "Wayland and X11 alike; where that service is not installed, an X11 session"
    "falls back to a keyboard grab of the X server.")
set(CPACK_PACKAGE_CONTACT "Tavimo maintainers <maintainers@tavimo.app>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://tavimo.app)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_FILE_NAME "tavimo_${PROJECT_VERSION}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; the image plugin that reads
# the icon file and the Wayland display plugin are loaded at run time, so they are named
# here (without the latter Qt falls back to Xwayland, where overlays cannot stay on top).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
