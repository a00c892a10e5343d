# What `cmake --install` puts in place, and the Debian package CPack makes of it. Only the three
# programs and their files: tests, benchmarks, fuzz targets and the stand-in bridge library have
# no install rules and stay out.

install(TARGETS meterlink meterlog metersim RUNTIME DESTINATION bin)
install(FILES packaging/meterlink.desktop DESTINATION share/applications)
install(FILES src/app/resources/app-icon.svg DESTINATION share/icons/hicolor/scalable/apps
        RENAME meterlink.svg)
# Gives the user at the seat access to the meter's HID cable. udev reads /usr/lib/udev, never
# the multiarch library folder, so the path is spelt out.
install(FILES packaging/70-meterlink-hid.rules DESTINATION lib/udev/rules.d)
install(FILES packaging/man/meterlink.1 packaging/man/meterlog.1 packaging/man/metersim.1
        DESTINATION share/man/man1)

# What the programs need at run time that the linker does not name: Qt's platform plugins (the
# window), the LCD segment font, the window's and the report's faces, and a CJK face for the
# exit question's full-width question mark and the bridge link's stop text. (The SVG icon
# engine and image plugin come with libqt6svg6, which dpkg-shlibdeps names already: the window
# links QtSvg.) scripts/install-deps.sh installs the same packages, and tst_fontcoverage checks
# that these fonts draw every character of the programs' own texts.
set(METERLINK_FONT_PACKAGES fonts-dseg fonts-liberation fonts-dejavu-core fonts-wqy-microhei)
set(METERLINK_RUNTIME_PACKAGES qt6-qpa-plugins ${METERLINK_FONT_PACKAGES})

set(METERLINK_PACKAGE_MAINTAINER "MeterLink maintainers <maintainers@meterlink.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME meterlink)
set(CPACK_PACKAGE_VENDOR MeterLink)
set(CPACK_PACKAGE_CONTACT "${METERLINK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Shows and records the readings of a handheld automotive multimeter")
# The summary above is the Description's first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "MeterLink reads the Brimlow/Carvane 4000-count multimeter over its serial,
HID or USB bridge cable and shows each reading on a replica of the meter's
LCD, a bar graph, an analog dial and a time chart. It records the readings
into a table, saves, loads and prints them, and raises alarms.
.
meterlog records the meter without a window; metersim simulates the meter
on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${METERLINK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps' libraries come after these.
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${METERLINK_RUNTIME_PACKAGES}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The package is made from the build folder alone; no source package.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
