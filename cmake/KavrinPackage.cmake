# `make package` (cpack in build/release): a Debian package of the installed layout under /usr
# (cmake/KavrinInstall.cmake, dist/). Include at the end of the top-level CMakeLists.txt, after
# every install rule.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kavrindemo")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${KAVRIN_COMPANY_NAME}")
set(KAVRIN_PACKAGE_MAINTAINER "Hadrell Optics <kavrindemo@hadrelloptics.invalid>"
    CACHE STRING "The Debian package's Maintainer field")
set(CPACK_PACKAGE_CONTACT "${KAVRIN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "High-speed CameraLink camera recorder")
set(CPACK_PACKAGE_DESCRIPTION
    "KavrinDemo grabs from high-speed CameraLink cameras into a ring of frame buffers, rebuilds
the true frame order from the counter each camera writes into its frames, pairs the two halves
of dual-channel cameras, and steps, replays, processes and saves sequences. A simulated frame
grabber stands in when no grabber hardware is present. The command-line tool kavrin grabs,
converts and describes image files for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# The package carries no debug information (the release build has it for the developers).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
# dpkg-shlibdeps (dpkg-dev) reads the libraries every installed ELF file needs and names their
# packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name at run time, so dpkg-shlibdeps cannot see it: the toolbar icons are SVG.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")

include(CPack)
