# A Debian package of the installed files: scripts/package.sh runs cpack.
# Its dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps), not from a hand-kept list that would go stale.
set(CPACK_PACKAGE_NAME gabblet)
set(CPACK_PACKAGE_VENDOR "The Gabblet developers")
set(CPACK_PACKAGE_CONTACT "${GABBLET_BUG_ADDRESS}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "desktop messenger whose animated characters speak your messages")
set(CPACK_PACKAGE_DESCRIPTION "Gabblet sends short messages to people on your network who\n\
also run it. On the recipient's desktop an animated character appears and\n\
speaks the message through espeak-ng, and a one-word reply tells the sender\n\
whether it was spoken normally, quietly or not at all. It also reads the\n\
clipboard, or a dropped text file, aloud. gabblet-send sends messages from\n\
scripts.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY gabblet)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/gabblet/gabblet")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The spelling checker needs a dictionary; English is the one it falls back to.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-base, hunspell-en-us | hunspell-dictionary")
include(CPack)
