# The desktop entry, the AppStream metadata, the manual pages and the copyright file, and the Debian package
# (`cpack -G DEB` in the build folder). The package installs under /usr whatever prefix the build was
# configured with: the program finds its skins beside its own folder (../share/korvex), wherever that is.
install(FILES ${CMAKE_SOURCE_DIR}/dist/org.korvex.Korvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/org.korvex.Korvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, compressed as Debian has them.
find_program(KORVEX_GZIP gzip REQUIRED)
set(KORVEX_MAN_PAGES)
foreach(page korvex.1 korvex-render.1 korvex-library.1)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${KORVEX_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/dist/man/${page} > ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/dist/man/${page} VERBATIM)
  list(APPEND KORVEX_MAN_PAGES ${out})
endforeach()
add_custom_target(korvex_man ALL DEPENDS ${KORVEX_MAN_PAGES})
install(FILES ${KORVEX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "Korvex")
set(CPACK_PACKAGE_CONTACT "Korvex developers <korvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Two-deck DJ player for the desktop")
set(CPACK_PACKAGE_DESCRIPTION "Korvex plays and mixes two songs at once, with crossfader, pitch, sampler, effects and recorder.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped: the package carries no debug symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link are found by dpkg-shlibdeps; the soundfont, the Japanese fonts and Qt's
# Japanese translations (the standard dialogs' buttons) are data the program needs at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fluid-soundfont-gm, fonts-noto-cjk, qt6-qpa-plugins, qt6-translations-l10n")
# libsecret: QtKeychain loads it to reach the desktop's keyring (without it the password stays in korvex.ini).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libasound2-plugins, pulseaudio | pipewire-pulse, pavucontrol, libsecret-1-0")
include(CPack)
