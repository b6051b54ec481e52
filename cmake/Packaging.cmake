# `make package`: a Debian package (CPack's DEB generator) of the desktop program, the
# command-line tool and everything a desktop installation needs: the desktop entry, icons,
# MIME type and user's manual (resources/), the manual pages, the CLI's bash completion and
# the package's own copyright and changelog files. Included last by the top CMakeLists.txt.
include(GNUInstallDirs)

set(ZV_PACKAGE_NAME zelvonicmp3)
set(ZV_PACKAGE_CONTACT "ZelvonicMP3 developers <maintainers@zelvonicmp3.example.org>")
# Debian packages install under /usr whatever CMAKE_INSTALL_PREFIX a plain `install` uses.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The manual pages name the user's manual where the package puts it.
set(ZV_MAN_HELP_DIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zvmp3/help)

set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

# Manual pages and the changelog are compressed the Debian way: gzip -9, no name or time
# stamp, so the package's bytes do not change with the build time.
set(gz_files "")
foreach(page zvmp3.1 zvmp3-cli.1 changelog)
    set(template ${packaging_src}/${page})
    if(page STREQUAL "changelog")
        set(template ${packaging_src}/changelog.in)
    endif()
    configure_file(${template} ${packaging_out}/${page} @ONLY)
    add_custom_command(
        OUTPUT ${packaging_out}/${page}.gz
        COMMAND gzip -9 -n -f -k ${page}
        DEPENDS ${packaging_out}/${page}
        WORKING_DIRECTORY ${packaging_out}
        COMMENT "Compressing ${page}")
    list(APPEND gz_files ${packaging_out}/${page}.gz)
endforeach()
add_custom_target(zv_packaging_files ALL DEPENDS ${gz_files})

install(FILES ${packaging_out}/zvmp3.1.gz ${packaging_out}/zvmp3-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_src}/zvmp3-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zvmp3-cli)
install(FILES ${packaging_src}/copyright ${packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ZV_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZV_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The ZelvonicMP3 developers")
set(CPACK_PACKAGE_CONTACT ${ZV_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZV_PACKAGE_CONTACT})
# Debian wants the description's lines under 80 columns.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "broadcast-style sound processor for music files\n"
    "ZelvonicMP3 plays a playlist of WAV and MP3 files through a broadcast-style\n"
    "processing chain: AGC, pre-emphasis and high-frequency limiter, six look-ahead\n"
    "compressor bands with clippers, final clipper and low-pass, stereo enhancer\n"
    "and a headphone virtual room, with eleven factory presets. The same chain\n"
    "processes live input (ON AIR mode) and exports processed songs to WAV or MP3.\n"
    "\n"
    "The package holds the desktop program zvmp3, the command-line tool\n"
    "zvmp3-cli, and the chain as LV2 and LADSPA plugins for other hosts.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zelvonicmp3.example.org/)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Every package the programs need comes from dpkg-shlibdeps: they run no other program of
# their own, and Qt's X11 window-system plugin ships with libqt6gui6. Recommended: the
# manual opens in the desktop's browser (xdg-open), the window's Japanese texts need a CJK
# font, and Wayland sessions get Qt's native plugin. An external MP3 encoder is only ever
# the user's choice, and JACK is one sound system of several.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, fonts-noto-cjk | fonts-ipafont-gothic, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "lame, jackd2")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# `package_source`: the sources alone, never a build folder or the repository's history.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/\\.cache/")
include(CPack)
