# What `cmake --install` puts where, split by who needs it:
#   client  the testing program for the lab's computers, its menu entry,
#           icon, AppStream data and the demo test;
#   tools   the examiner's tool;
#   server  the exam server, its systemd units and its settings in /etc;
#   kiosk   the login screen's kiosk session: cage running only the client.
# cmake/Packaging.cmake turns each component into a Debian package.
#
# The prefix is /usr unless given: what is installed is what the packages
# hold, with the settings in /etc and systemd's units in /lib.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

set(QUIZDESK_APP_ID io.github.quizdesk.QuizDesk)
set(QUIZDESK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
# Debian 12 keeps systemd's units in /lib, outside the prefix too.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(QUIZDESK_SYSTEMD_UNITDIR /lib/systemd/system)
else()
  set(QUIZDESK_SYSTEMD_UNITDIR lib/systemd/system)
endif()

# ---- the programs
if(TARGET quizdesk)
  install(TARGETS quizdesk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
endif()
install(TARGETS quizdesk-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(TARGETS quizdesk-examd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)

# ---- the client's desktop integration and its demo test
if(TARGET quizdesk)
  install(PROGRAMS ${QUIZDESK_PACKAGING_DIR}/quizdesk-launch
          DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quizdesk COMPONENT client)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/${QUIZDESK_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT client)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/${QUIZDESK_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT client)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/quizdesk.conf
          DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quizdesk COMPONENT client)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/demo/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/quizdesk/demo COMPONENT client)

  install(FILES ${QUIZDESK_PACKAGING_DIR}/${QUIZDESK_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT client)
  # The bitmaps of the icon, drawn from the SVG for the menus that want them.
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    set(icon_pngs)
    foreach(size 16 22 24 32 48 64 128 256)
      set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/${QUIZDESK_APP_ID}.png)
      add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                ${QUIZDESK_PACKAGING_DIR}/${QUIZDESK_APP_ID}.svg
        DEPENDS ${QUIZDESK_PACKAGING_DIR}/${QUIZDESK_APP_ID}.svg
        VERBATIM)
      list(APPEND icon_pngs ${png})
      install(FILES ${png}
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              COMPONENT client)
    endforeach()
    add_custom_target(quizdesk_icons ALL DEPENDS ${icon_pngs})
  else()
    message(STATUS "rsvg-convert not found: the icon is installed as SVG only "
                   "(scripts/setup.sh installs librsvg2-bin)")
  endif()
endif()

# ---- the kiosk session: the display manager lists it among the Wayland
# sessions; its launcher reads the lab's settings in /etc.
if(TARGET quizdesk)
  install(PROGRAMS ${QUIZDESK_PACKAGING_DIR}/kiosk/quizdesk-kiosk-session
          DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quizdesk COMPONENT kiosk)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/kiosk/quizdesk-kiosk.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/wayland-sessions COMPONENT kiosk)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/kiosk/kiosk.conf
          DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quizdesk COMPONENT kiosk)
endif()

# ---- the manual pages, written in Markdown, made with pandoc, installed gzipped
find_program(PANDOC pandoc)
if(PANDOC)
  set(man_pages)
  set(man_components quizdesk.1=client quizdesk-tool.1=tools quizdesk-examd.8=server)
  foreach(entry ${man_components})
    string(REPLACE "=" ";" entry ${entry})
    list(GET entry 0 page)
    list(GET entry 1 component)
    if(component STREQUAL "client" AND NOT TARGET quizdesk)
      continue()
    endif()
    string(REGEX REPLACE ".*\\." "" section ${page})
    set(out ${PROJECT_BINARY_DIR}/man/${page}.gz)
    # gzip -n: no name or time stamp, so the same page makes the same bytes.
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${PANDOC} --standalone --to man
              --metadata footer=QuizDesk\ ${PROJECT_VERSION}
              --output ${PROJECT_BINARY_DIR}/man/${page}
              ${PROJECT_SOURCE_DIR}/docs/man/${page}.md
      COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/man/${page}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}.md
      VERBATIM)
    list(APPEND man_pages ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
            COMPONENT ${component})
  endforeach()
  add_custom_target(quizdesk_man_pages ALL DEPENDS ${man_pages})
else()
  message(STATUS "pandoc not found: no manual pages (scripts/setup.sh installs pandoc)")
endif()

# ---- the exam server as a service: socket-activated, settings in /etc
install(FILES ${PROJECT_SOURCE_DIR}/systemd/quizdesk-examd.socket
              ${PROJECT_SOURCE_DIR}/systemd/quizdesk-examd.service
        DESTINATION ${QUIZDESK_SYSTEMD_UNITDIR} COMPONENT server)
install(FILES ${QUIZDESK_PACKAGING_DIR}/examd.conf
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quizdesk COMPONENT server)
# An empty roster, so that the server starts (and refuses every name) until
# the examiner puts the real one in its place; it is read again on a change.
set(empty_roster ${PROJECT_BINARY_DIR}/packaging/students.dbf)
add_custom_command(
  OUTPUT ${empty_roster}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  COMMAND sh -c "perl \"$1\" >\"$2\"" sh
          ${PROJECT_SOURCE_DIR}/tests/support/make_roster.pl ${empty_roster}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/make_roster.pl
  VERBATIM)
add_custom_target(quizdesk_empty_roster ALL DEPENDS ${empty_roster})
install(FILES ${empty_roster} DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quizdesk COMPONENT server)
