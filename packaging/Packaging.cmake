# Installed layout (/usr/bin/korvix and the desktop's files) and the Debian
# package: cmake --build <folder> --target package, or scripts/package.sh.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(KORVIX_PACKAGING ${CMAKE_CURRENT_LIST_DIR})
set(KORVIX_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/korvix)

install(TARGETS korvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where the program looks for it, from its own folder.
install(TARGETS korvix_sound LIBRARY DESTINATION ${KORVIX_MODULE_DIR})
install(FILES resources/korvix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KORVIX_PACKAGING}/io.github.korvix.Korvix.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KORVIX_PACKAGING}/copyright DESTINATION ${KORVIX_DOCDIR})
# The spelling dictionaries in the engine's format; the program points the
# engine there (../share/korvix from its own folder).
install(FILES ${KORVIX_DICTIONARIES}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvix/qtwebengine_dictionaries)

# The icon in the sizes desktops ask for, drawn by the program's own code.
set(KORVIX_ICON_SIZES 16 32 48 64 128 256)
add_executable(korvix_icons ${KORVIX_PACKAGING}/korvix_icons.cpp)
target_link_libraries(korvix_icons PRIVATE korvix_ui)
set(KORVIX_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(KORVIX_ICON_FILES)
foreach(size ${KORVIX_ICON_SIZES})
  set(png ${KORVIX_ICON_DIR}/${size}x${size}/apps/korvix.png)
  list(APPEND KORVIX_ICON_FILES ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_command(
  OUTPUT ${KORVIX_ICON_FILES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:korvix_icons> ${KORVIX_ICON_DIR} ${KORVIX_ICON_SIZES}
  DEPENDS korvix_icons
  COMMENT "Drawing the program icon"
  VERBATIM)

# Debian wants man pages and changelogs compressed, without a time stamp.
set(KORVIX_GZ_DIR ${CMAKE_BINARY_DIR}/gz)
add_custom_command(
  OUTPUT ${KORVIX_GZ_DIR}/korvix.1.gz ${KORVIX_GZ_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVIX_GZ_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${KORVIX_PACKAGING}/korvix.1 ${KORVIX_PACKAGING}/changelog
          ${KORVIX_GZ_DIR}
  COMMAND gzip -9nf ${KORVIX_GZ_DIR}/korvix.1 ${KORVIX_GZ_DIR}/changelog
  DEPENDS ${KORVIX_PACKAGING}/korvix.1 ${KORVIX_PACKAGING}/changelog
  VERBATIM)
install(FILES ${KORVIX_GZ_DIR}/korvix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KORVIX_GZ_DIR}/changelog.gz DESTINATION ${KORVIX_DOCDIR})

add_custom_target(korvix_desktop_files ALL
                  DEPENDS ${KORVIX_ICON_FILES} ${KORVIX_GZ_DIR}/korvix.1.gz
                          ${KORVIX_GZ_DIR}/changelog.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "many browser windows in one frame")
# Debian shows the long description as it is: lines of at most 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Korvix is a web-browsing shell with a German interface. One main frame\n"
       "holds up to 300 browser windows, each with its own toolbar and address\n"
       "box, showing pages through Qt WebEngine, with a tab strip, a bookmark\n"
       "archive, a history, window layouts and a POP3 mail check.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Korvix Developers <dev@korvix.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's German texts are loaded at run time, which no library dependency shows.
# (The engine's renderer program, libqt6webenginecore6-bin, is already named by
# the engine library's own symbols file.)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# Debian's uBlock Origin brings EasyList and EasyPrivacy, which content
# blocking uses until its own subscriptions have been fetched. Suggested, not
# recommended: that package recommends Chromium, and recommendations are
# followed down the chain.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "webext-ublock-origin-chromium")
# Logins are kept by whatever serves the Secret Service on the desktop
# (GNOME Keyring, or KWallet where it does); without one, Korvix saves none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring")
include(CPack)
