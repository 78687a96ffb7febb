# What a user installs: the program, a launcher that runs it in the user's own folder, the
# desktop entry and its icon at the desktop's sizes, the manual pages, the user guide and the
# copyright file; and the Debian package made of them (`cpack` in a configured build folder, or
# scripts/package.sh). The tone cw.wav is installed by src/tone.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/vantrel-launch
        DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vantrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/vantrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME vantrel.png)
endforeach()

# Manual pages, compressed as Debian installs them.
set(manuals "")
foreach(page vantrel.1 vantrel-sim.1)
  set(packed ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/${page} > ${packed}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page} VERBATIM)
  list(APPEND manuals ${packed})
endforeach()
add_custom_target(manuals ALL DEPENDS ${manuals})
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# vantrel-launch is described in vantrel(1).
install(CODE "file(CREATE_LINK vantrel.1.gz
  \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/vantrel-launch.1.gz SYMBOLIC)")

install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/user-guide.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "Vantrel maintainers <vantrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CW sidetone monitor between a contest logger and a remote radio's WinKeyer port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantrel sits on the serial line between a contest logger that drives a WinKeyer and the\n\
WinKeyer port of a remote radio's software. It relays every byte both ways unchanged, follows\n\
the logger's speed and cancels, and plays the text being sent as a local Morse sidetone held\n\
back by a latency of your choice, so that it lines up with what the radio transmits.\n\
Includes vantrel-sim, a simulated logger and keyer for trying it without a radio.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which no library links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "socat, pulseaudio | pipewire-pulse")
set(CPACK_STRIP_FILES ON)
include(CPack)
