# The Debian package of the product: `cpack -G DEB` in a release build (scripts/build-deb.sh).
set(QM_MAINTAINER "The Quillmere team <packages@quillmere.app>" CACHE STRING "Maintainer of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "The Quillmere team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop companion for ER:LC players")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Read here: given as a file, CPack would escape its apostrophes as XML.
file(READ ${CMAKE_CURRENT_LIST_DIR}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${QM_MAIN_HOST}${QM_PORT_SUFFIX}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Libraries come from dpkg-shlibdeps. What no link shows: xdg-open and xdg-mime for the quillmere://
# address (browsers hand it over through them), the desktop database the entry is registered in, the
# desktop portal, and what WebKit runs the pages' sandbox with (bubblewrap, and xdg-dbus-proxy for D-Bus).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, desktop-file-utils, xdg-desktop-portal, bubblewrap, xdg-dbus-proxy")
# A portal backend, and a status-item host where the desktop has none of its own (GNOME needs the
# extension; the other desktops named here host status items themselves).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-desktop-portal-gtk | xdg-desktop-portal-backend, \
gnome-shell-extension-appindicator | plasma-workspace | xfce4-panel | mate-panel | lxqt-panel | cinnamon")
# A stand-in build points at *.localhost and trusts a key from its build tree: never a package.
if(QM_STANDIN)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/refuse-standin.cmake)
endif()
include(CPack)
