# `cpack -G DEB` in the build directory makes the Debian package of what `cmake --install` installs.
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon developers")
# The project's own address: the package has a team behind it, not a person.
set(CPACK_PACKAGE_CONTACT "Quillon developers <dev@quillon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "management utility of a point-of-sale panel PC")
# Its lines stay short: the package's description is shown as it is written.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon talks to the embedded system controller of a point-of-sale panel
PC over RS-232. It shows the terminal status, thermal, power and I/O pages
that the controller streams, lets the user choose the supply of each COM
port and switch the display's OSD, and keeps a hexadecimal console of the
line. quillon-sim plays the controller on a pseudo-terminal.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link, the Qt 6 modules among them, come from the binaries; the fonts
# are looked up by name at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-arphic-uming")
include(CPack)
