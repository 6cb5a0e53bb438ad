# The Debian package (cpack, or the "package" target): lunaveil_<version>_<arch>.deb under /usr.
# Its dependencies are worked out from the programs' libraries by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lunaveil)
set(CPACK_PACKAGE_VENDOR "Lunaveil developers")
set(CPACK_PACKAGE_CONTACT "Lunaveil developers <support@lunaveil.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tint every screen at night to ease the eyes")
set(CPACK_PACKAGE_DESCRIPTION "Lunaveil lives in the system tray and lays a warm tint over every screen
at night: a click-through overlay of the colour and strength you choose,
or the tint through each display's gamma ramps. A daily schedule switches
it on and off; it can also invert the displays' colours and start at login.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Stripped programs, folders 0755 and files as installed, as Debian's policy asks.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lunaveil developers <support@lunaveil.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})

include(CPack)
