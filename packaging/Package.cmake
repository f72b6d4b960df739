# The Debian package: `cpack -G DEB` in the build folder writes talvo_VERSION_ARCH.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Talvo developers")
set(CPACK_PACKAGE_CONTACT "The Talvo developers <talvo@talvo.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "push-to-talk dictation for the Linux desktop")
set(CPACK_PACKAGE_DESCRIPTION
  "Hold one key, speak, let go: the speech is recognised on this machine with PocketSphinx,\n\
cleaned up by rules or a local language model, and typed into the focused text field.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TALVO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the linked libraries do not say: the recogniser's model is read from its fixed
# folder, and the theme's icons are SVG, drawn by Qt's SVG plugin. Sounds, read-back and
# the symbolic icons make it nicer, but it runs without them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pocketsphinx-en-us, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop, speech-dispatcher, adwaita-icon-theme")

include(CPack)
