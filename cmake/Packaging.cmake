# The desktop entry and AppStream metadata, and the Debian package (`cpack -G DEB` in the build folder).
# The package installs under the build's CMAKE_INSTALL_PREFIX (configure with -DCMAKE_INSTALL_PREFIX=/usr
# for a system package): the program finds its skins there.
install(FILES ${CMAKE_SOURCE_DIR}/dist/org.korvex.Korvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/org.korvex.Korvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "Korvex")
set(CPACK_PACKAGE_CONTACT "Korvex developers <korvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Two-deck DJ player for the desktop")
set(CPACK_PACKAGE_DESCRIPTION "Korvex plays and mixes two songs at once, with crossfader, pitch, sampler, effects and recorder.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link are found by dpkg-shlibdeps; the soundfont and the Japanese fonts are
# data the program needs at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fluid-soundfont-gm, fonts-noto-cjk, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libasound2-plugins, pulseaudio | pipewire-pulse, pavucontrol")
include(CPack)
