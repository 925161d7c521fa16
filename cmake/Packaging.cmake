# `make package`: one Debian package per install component (cmake/Install.cmake)
#   quizdesk        the client, for the lab's computers
#   quizdesk-tools  the examiner's tool
#   quizdesk-examd  the exam server, a socket-activated systemd service
#   quizdesk-kiosk  a login session of nothing but the client (cage)
# into the build folder's packages/ (build-package/packages for make
# package). The library dependencies come from the binaries
# (dpkg-shlibdeps); what is loaded at run time (fonts, Qt's SQL drivers)
# is named here.
include(${CMAKE_CURRENT_LIST_DIR}/Install.cmake)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  # The settings' and the units' folders follow the prefix: under another
  # one they would land in /usr/etc and /usr/lib/systemd.
  message(WARNING "make package needs -DCMAKE_INSTALL_PREFIX=/usr (now ${CMAKE_INSTALL_PREFIX})")
endif()

set(QUIZDESK_MAINTAINER "QuizDesk maintainers <maintainers@users.noreply.c-seed-7dbc223f.example>")
set(QUIZDESK_DEB_RELEASE 1)
set(QUIZDESK_DEB_VERSION ${PROJECT_VERSION}-${QUIZDESK_DEB_RELEASE})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quizdesk)
set(CPACK_PACKAGE_VENDOR "QuizDesk maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUIZDESK_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Packages carry no debugging symbols (lintian: unstripped-binary-or-object).
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL client tools server kiosk)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# One package per component.
set(CPACK_COMPONENTS_GROUPING IGNORE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUIZDESK_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUIZDESK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quizdesk/quizdesk)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME quizdesk)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION education)
# The windows draw with the Liberation faces (the widths of the office faces
# the tests were laid out with); the X11 platform plugin comes with libqt6gui6.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_CLIENT_PACKAGE_SUGGESTS "quizdesk-tools")
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "testing program for the students' computers
QuizDesk shows a test to a student question by question, with single and
multiple choice, typed answers, ordering, matching and pictures, keeps the
time, scores the answers and writes the results report.

In examination mode it registers the student with the exam server
(package quizdesk-examd) and reports the progress and the result to it.

This package holds the program for the lab's computers, its menu entry
and a demo test.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quizdesk-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "examiner's tool for QuizDesk tests and results
quizdesk-tool checks a QuizDesk test for faults, shows it as the student's
window draws it, scrambles its files, dumps its model, plays a test by a
script (a dry run, also against an exam server), rescores results reports
and builds results pages and item statistics from them.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME quizdesk-examd)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
# The journal is SQLite by default, PostgreSQL on request (--db postgresql://).
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_COMPONENT_SERVER_DESCRIPTION "exam server for QuizDesk
quizdesk-examd admits the students on its roster to an examination taken
with QuizDesk on the lab's computers, follows their progress, keeps their
results reports in a journal (SQLite or PostgreSQL) and shows the sitting
on a web board. Its commands show the status, export the results and
release a student to another computer.

The package runs it as a systemd service, started on its socket (port
1023) under a user of its own.")
set(CPACK_DEBIAN_KIOSK_PACKAGE_NAME quizdesk-kiosk)
set(CPACK_DEBIAN_KIOSK_PACKAGE_SECTION education)
set(CPACK_DEBIAN_KIOSK_PACKAGE_ARCHITECTURE all)
# cage as Debian 12 builds it will not start without Xwayland; the client
# draws on Wayland through Qt's Wayland platform.
set(CPACK_DEBIAN_KIOSK_PACKAGE_DEPENDS
    "quizdesk (= ${QUIZDESK_DEB_VERSION}), cage, xwayland, qt6-wayland")
set(CPACK_COMPONENT_KIOSK_DESCRIPTION "kiosk session for QuizDesk on the lab's computers
This package adds the session \"QuizDesk kiosk\" to the login screen: the
Wayland compositor cage showing QuizDesk full screen on the lab's test and
nothing else, with no key that leads out of it. The session ends when the
test ends or when the administrator presses the key combination set in
/etc/quizdesk/kiosk.conf, which also names the test's folder and the
keyboard layouts; the test's own layout is selected.")
set(CPACK_DEBIAN_KIOSK_PACKAGE_CONTROL_EXTRA ${QUIZDESK_PACKAGING_DIR}/kiosk/conffiles)

set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${QUIZDESK_PACKAGING_DIR}/examd/conffiles
    ${QUIZDESK_PACKAGING_DIR}/examd/postinst
    ${QUIZDESK_PACKAGING_DIR}/examd/prerm
    ${QUIZDESK_PACKAGING_DIR}/examd/postrm)
set(CPACK_DEBIAN_CLIENT_PACKAGE_CONTROL_EXTRA ${QUIZDESK_PACKAGING_DIR}/client/conffiles)

# Every package's copyright and changelog, where Debian looks for them.
set(deb_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
configure_file(${QUIZDESK_PACKAGING_DIR}/changelog.Debian.in ${deb_changelog} @ONLY)
add_custom_command(
  OUTPUT ${deb_changelog}.gz
  COMMAND gzip -9nkf ${deb_changelog}
  DEPENDS ${deb_changelog}
  VERBATIM)
add_custom_target(quizdesk_deb_changelog ALL DEPENDS ${deb_changelog}.gz)
foreach(entry client=quizdesk tools=quizdesk-tools server=quizdesk-examd kiosk=quizdesk-kiosk)
  string(REPLACE "=" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 package)
  install(FILES ${QUIZDESK_PACKAGING_DIR}/copyright ${deb_changelog}.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

include(CPack)

# The packaged files that can be checked without installing anything; the
# packages themselves are installed and run only by tests/packaging/check.sh
# (CI, as root), never by ctest.
if(QUIZDESK_TESTS)
  enable_testing()
  add_test(NAME packaging_files
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/files.sh
                   ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}
                   $<TARGET_FILE:quizdesk-tool> $<TARGET_FILE:quizdesk-examd>)
endif()
