# `cpack -G DEB` in a build directory packs what `cmake --install` installs into
# quilmar-hk_<version>_<arch>.deb, with the library dependencies dpkg-shlibdeps finds.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quilmar-hk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QUILMAR-1 HK decoder maintainers")
set(CPACK_PACKAGE_CONTACT "${QUILMAR_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QUILMAR-1 housekeeping telemetry decoder")
# The extended description, shown under the summary; CPack indents it and marks the blank
# line as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads KISS capture logs of the AX.25 frames a terminal node controller
received from the QUILMAR-1 satellite and decodes its housekeeping frames
into 93 engineering values: power and thermal system, communications, the
on-board computer and attitude control.

The window program quilmar-hk shows one frame at a time with a hex dump, a
chart of any parameter over the pass and the status bits in words. The
command quilmar-hk-export writes every frame as CSV or JSON, or a summary.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's layouts are measured in the Liberation faces (metric twins of Arial and
# Courier New); without them texts may not fit their boxes.
# The web page of `quilmar-hk-archive serve` charts with Debian's Chart.js.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, libjs-chart.js")
# Qt SQL's database drivers are plugins, which dpkg-shlibdeps cannot see: the archive's
# default engine is needed, the PostgreSQL one only for a shared archive.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
# Directories 0755 and files 0644 as Debian policy wants, whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
