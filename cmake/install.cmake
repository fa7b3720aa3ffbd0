# The installed layout (Linux): the programs in bin/, their data in
# share/brinvale/ (found from bin/ as ../share/brinvale), the icon, the
# desktop entry and the polkit action of the disk-access launcher; and a
# Debian package of it through CPack (cpack -G DEB in a release build).
include(GNUInstallDirs)

install(TARGETS brinvale-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET brinvale)
  install(TARGETS brinvale RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/linux/brinvale-pkexec
          DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/config.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/brinvale)
file(GLOB BRINVALE_INSTALLED_LANGUAGES ${PROJECT_SOURCE_DIR}/data/Languages/*.ini)
install(FILES ${BRINVALE_INSTALLED_LANGUAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/brinvale/Languages)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/brinvale.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/brinvale.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# polkit runs only the program its action names, at its installed path.
set(BRINVALE_INSTALLED_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/brinvale)
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/org.brinvale.recovery.policy.in
               ${PROJECT_BINARY_DIR}/org.brinvale.recovery.policy @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/org.brinvale.recovery.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

set(CPACK_PACKAGE_NAME brinvale)
set(CPACK_PACKAGE_VENDOR Brinvale)
set(CPACK_PACKAGE_CONTACT "Brinvale developers <dev@brinvale.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Recovers deleted and lost files from disks and disk images")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link, as dpkg-shlibdeps finds them; the
# GStreamer plugins the media preview needs and pkexec are named by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec | policykit-1, fonts-wqy-zenhei")
include(CPack)
