# What `cmake --install` puts in place, under any prefix: the program, its
# desktop entry, metainfo, icons (drawn by the artwork generator at build
# time), the file type of a saved log and the manual page; and the Debian
# package made from the same tree with `cpack -G DEB`.
include(GNUInstallDirs)
# Debian looks for the copyright and change log under the package's own name.
set(kelvora_docdir ${CMAKE_INSTALL_DATADIR}/doc/kelvora)

set(KELVORA_LOG_MIME "text/x-kelvora-log")
set(KELVORA_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX expression of the licence, for the metainfo")
set(KELVORA_HOMEPAGE "https://morvessa.com/kelvora" CACHE STRING "The project's web page, for the metainfo")
set(KELVORA_SCREENSHOT_URL "${KELVORA_HOMEPAGE}/screenshots" CACHE STRING
  "Where the pictures of docs/ are published, for the metainfo")
set(KELVORA_MAINTAINER "Morvessa <kelvora@morvessa.com>" CACHE STRING "The Debian package's maintainer")

set(data_dir ${CMAKE_SOURCE_DIR}/data)
set(data_out ${CMAKE_BINARY_DIR}/data)
configure_file(${data_dir}/kelvora.desktop.in ${data_out}/${KELVORA_APP_ID}.desktop @ONLY)
configure_file(${data_dir}/kelvora.metainfo.xml.in ${data_out}/${KELVORA_APP_ID}.metainfo.xml @ONLY)
configure_file(${data_dir}/kelvora-mime.xml.in ${data_out}/${KELVORA_APP_ID}.xml @ONLY)
configure_file(${data_dir}/kelvora.1.in ${data_out}/kelvora.1 @ONLY)

# The icons, drawn when the generator changes; and the manual page and the
# package's change log compressed as Debian wants them (no name, no time).
set(icons_out ${CMAKE_BINARY_DIR}/icons)
set(icon_sizes 16 22 24 32 48 64 128 256) # as kDesktopIconSizes in src/res/artgen/ArtGen.h
set(icon_files)
foreach(size ${icon_sizes})
  list(APPEND icon_files ${icons_out}/icon-${size}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files} ${icons_out}/icon.svg
  COMMAND kelvora_artgen --desktop-icons ${icons_out}
  DEPENDS kelvora_artgen
  COMMENT "Drawing the desktop icons"
  VERBATIM)
add_custom_command(OUTPUT ${data_out}/kelvora.1.gz
  COMMAND gzip -9 -n -c ${data_out}/kelvora.1 > ${data_out}/kelvora.1.gz
  DEPENDS ${data_out}/kelvora.1
  VERBATIM)
add_custom_command(OUTPUT ${data_out}/changelog.gz
  COMMAND gzip -9 -n -c ${data_dir}/changelog > ${data_out}/changelog.gz
  DEPENDS ${data_dir}/changelog
  VERBATIM)
add_custom_target(kelvora_desktop_files ALL
  DEPENDS ${icon_files} ${icons_out}/icon.svg ${data_out}/kelvora.1.gz ${data_out}/changelog.gz)

install(TARGETS kelvora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data_out}/${KELVORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data_out}/${KELVORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_out}/${KELVORA_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
foreach(size ${icon_sizes})
  install(FILES ${icons_out}/icon-${size}.png RENAME ${KELVORA_APP_ID}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${icons_out}/icon.svg RENAME ${KELVORA_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${data_out}/kelvora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${data_dir}/copyright DESTINATION ${kelvora_docdir})
install(FILES ${data_out}/changelog.gz DESTINATION ${kelvora_docdir})

# The Debian package. Its library dependencies are read off the program by
# dpkg-shlibdeps, so they follow whatever it links; what it needs beyond
# its libraries is named here: a General MIDI SoundFont for the built-in
# synthesizer, the toolkit's window-system plugins, and the ALSA plugins
# through which the sound server's mixer is reached.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VENDOR Morvessa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MIDI assistant for music lessons")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelvora logs every MIDI message that arrives, passes what is played on to a
synthesizer (a built-in General MIDI synthesizer gives sound out of the
box), turns the PC keyboard into a small piano, shows what sounds as an
animated keyboard or as the Curwen solfege hand sign of the note, and ticks
a metronome. Maximised, it is made to be shared in a video lesson.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELVORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libasound2-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Directories that belong to the system are not claimed by the package.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
