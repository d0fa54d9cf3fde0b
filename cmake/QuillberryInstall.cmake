# Installing Quillberry like any desktop application (`cmake --install build`), and its Debian package
# (`cpack -G DEB` in the build folder). The statement template, the window layouts and the window icon are
# built into the executable; the optional hand cursor and skin file that the program looks for beside
# itself are not shipped, so the program runs from bin/ with nothing else there.
include(GNUInstallDirs)

# Installing and packaging take what the build made; they never build (cpack would otherwise rebuild every
# test first, and the package check runs among the tests).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(QUILLBERRY_APP_ID com.brackenlow.quillberry)
set(quillberry_desktop_sources ${PROJECT_SOURCE_DIR}/resources/desktop)
set(quillberry_icon_sources ${PROJECT_SOURCE_DIR}/resources/icons)
set(QUILLBERRY_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS quillberry RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every library the program needs is where the system keeps them: no run-time search path of Qt's
# default ($ORIGIN, $ORIGIN/../lib) in the installed program.
set_target_properties(quillberry PROPERTIES INSTALL_RPATH "")
install(FILES ${quillberry_desktop_sources}/${QUILLBERRY_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${quillberry_desktop_sources}/${QUILLBERRY_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${QUILLBERRY_ICON_SIZES})
  install(FILES ${quillberry_icon_sources}/${size}x${size}/quillberry.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${QUILLBERRY_APP_ID}.png)
endforeach()
install(FILES ${quillberry_icon_sources}/scalable/quillberry.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUILLBERRY_APP_ID}.svg)

# The manual page carries the version; its date follows SOURCE_DATE_EPOCH when a reproducible build sets it.
string(TIMESTAMP QUILLBERRY_MANUAL_DATE "%Y-%m-%d" UTC)
configure_file(${quillberry_desktop_sources}/quillberry.1.in ${PROJECT_BINARY_DIR}/quillberry.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quillberry.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian ships manual pages compressed without a name or time stamp in the header; a plain install keeps
# the page as it is. cpack sets QUILLBERRY_PACKAGING (below) for its own staging install.
install(CODE "set(quillberry_manual_page \"${CMAKE_INSTALL_MANDIR}/man1/quillberry.1\")")
install(CODE [[
  if(QUILLBERRY_PACKAGING)
    set(page "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${quillberry_manual_page}")
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot compress the manual page ${page}")
    endif()
  endif()
]])

# ---- Debian package ---------------------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillberry)
set(CPACK_PACKAGE_VENDOR Brackenlow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Team Brackenlow <support@brackenlow.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.brackenlow.com)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal financial statement as an Excel 97-2003 workbook")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillberry keeps one personal financial statement (a name, a date, eleven asset lines and six\n"
    "liability lines) and stores every field the moment it changes. It fills its built-in statement\n"
    "template and saves a genuine .xls workbook whose totals and net worth are formulas, shows a\n"
    "zoomable picture of the sheet, and can export the workbook, a PDF or a PNG from the command line\n"
    "without a display. It carries its own spreadsheet engine: no office suite is needed.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_CUSTOM_INSTALL_VARIABLES QUILLBERRY_PACKAGING=ON)
# The shared libraries (Qt, fontconfig ...) are found by dpkg-shlibdeps. What it cannot see: libgsf, which
# the engine loads on first use, and the fonts: the sheet is laid out in Arial metrics, which Liberation
# Sans matches; with a wider fallback font amounts could turn into "####". The platform plug-ins (xcb, offscreen) come with libqt6gui6, which shlibdeps
# finds; the window font falls back to DejaVu. The history's SQLite driver is a Qt plug-in, loaded by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${QUILLBERRY_GSF_PACKAGE}, libqt6sql6-sqlite, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
include(CPack)
