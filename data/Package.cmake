# The Debian package (`make package`): CPack's DEB generator over the install rules of data/, so
# that the package and `make install` install the same files.

# CPack runs the install rules only; it must not build the tests and benchmarks first (`make
# package` builds what is installed, `make install` builds everything).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${RK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The maintainer is the one who signed the changelog's last entry.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog RK_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- ([^>]*>).*" "\\1" CPACK_PACKAGE_CONTACT "${RK_CHANGELOG_TRAILER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for old Japanese picture-and-text stories")
set(CPACK_PACKAGE_DESCRIPTION
    "zv_rk plays the small picture-and-text stories of the Windows era: a\n"
    "Shift-JIS script beside its pictures (JPEG, BMP, ICO, WMF, EMF), MIDI music\n"
    "and WAV sound effects, from their folder or from the archive they came in\n"
    "(ZIP, LZH, 7z, tar), in a tiny window enlarged by whole steps, or full\n"
    "screen. It has tools for story authors too: a check of a story's mistakes,\n"
    "a map of its labels, and a start from any label.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the libraries it links: SDL2_image, opened only when a story shows a bitmap or an icon;
# the text face; a General MIDI soundfont for the music (the small one first). The Liberation
# faces only stand in for Times New Roman, Arial and Courier New in metafiles, and IPA Gothic
# stands in for them when they are missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-image-2.0-0, fonts-ipafont-gothic, timgm6mb-soundfont | sf2-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation2)

include(CPack)
