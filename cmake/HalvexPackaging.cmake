# Debian package of Halvex: `cpack -G DEB` in the build directory.
# The runtime dependencies are named here, one Debian 12 package each, for
# what the binary links and loads at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvex)
set(CPACK_PACKAGE_VENDOR "Halvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keyboard-first clipboard history for the X11 desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Halvex keeps the texts and images you copy and pastes any of them back with a
 keyboard shortcut (Shift+Super+V) or from its tray icon. Text in copied images
 is recognised, so that image entries can be found by their words.")
set(CPACK_PACKAGE_CONTACT "Halvex developers <halvex@localhost>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.invalid/halvex")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(_halvex_deb_depends
    "libc6 (>= 2.34)"
    "libstdc++6 (>= 12)"
    "libgcc-s1"
    "libqt6core6 (>= 6.4)"
    "libqt6gui6 (>= 6.4)"
    "libqt6widgets6 (>= 6.4)"
    "libqt6dbus6 (>= 6.4)"
    "libqt6svg6 (>= 6.4)"
    "qt6-qpa-plugins"
    "libxcb1"
    "libxcb-xtest0"
    "libxcb-xfixes0"
    "libxcb-keysyms1"
    "libxkbcommon0"
    "libxkbcommon-x11-0"
    "libtesseract5"
    "liblept5"
    "tesseract-ocr-eng")
list(JOIN _halvex_deb_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
