# Install rules and the Debian package (`make package`):
#   /opt/zorvast/               zorvast, zorvast-cli, satdata.sta (read only; each user runs a copy)
#   /usr/bin/zorvast            the launcher: fills and starts the user's own program folder
#   /usr/bin/zorvast-cli        a link to the tool in /opt/zorvast, which finds satdata.sta there
#   /usr/share/...              desktop entry, icons, AppStream metadata, manual pages, docs
# Paths are relative to the root: the package installs into /, whatever CMAKE_INSTALL_PREFIX.
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
string(REGEX REPLACE "^/+" "" program_dir "${ZORVAST_SYSTEM_FOLDER}")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Installing (and so packaging) builds only what it installs, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(PROGRAMS $<TARGET_FILE:zorvast> $<TARGET_FILE:zorvast-cli> DESTINATION ${program_dir})
# Users start the program by the name zorvast: the launcher (src/launcher) has it in /usr/bin.
install(PROGRAMS $<TARGET_FILE:zorvast-launcher> DESTINATION usr/bin RENAME zorvast)
install(FILES ${PROJECT_BINARY_DIR}/data/satdata.sta DESTINATION ${program_dir})
# Stripped as Debian strips its own programs, the notes of the compiler version too.
if(CMAKE_STRIP)
  foreach(file ${program_dir}/zorvast ${program_dir}/zorvast-cli usr/bin/zorvast)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                  --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\" COMMAND_ERROR_IS_FATAL ANY)")
  endforeach()
endif()
install(FILES ${packaging_out}/zorvast-cli DESTINATION usr/bin)

install(FILES ${packaging_src}/Zorvast.desktop DESTINATION usr/share/applications)
foreach(size IN LISTS ZORVAST_ICON_SIZES)
  install(FILES ${packaging_out}/icons/${size}/zorvast.png
          DESTINATION usr/share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${packaging_src}/icons/zorvast.svg DESTINATION usr/share/icons/hicolor/scalable/apps)
install(FILES ${packaging_out}/cn.zorvast.zorvast.metainfo.xml DESTINATION usr/share/metainfo)
install(FILES ${packaging_out}/man/zorvast.1.gz ${packaging_out}/man/zorvast-cli.1.gz
        DESTINATION usr/share/man/man1)
install(FILES ${packaging_src}/debian/copyright ${packaging_out}/changelog.Debian.gz
        DESTINATION usr/share/doc/zorvast)
install(FILES ${packaging_out}/lintian-overrides DESTINATION usr/share/lintian/overrides
        RENAME zorvast)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvast)
set(CPACK_PACKAGE_VENDOR "The Zorvast developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGE_CONTACT "${ZORVAST_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "satellite dish pointing, channel tables and online updates")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zorvast helps people who install and aim satellite-TV dishes in China and\n"
    "the neighbouring region: azimuth, elevation and LNB skew for a satellite\n"
    "and a city, the dish size the signal asks for, transponder and channel\n"
    "tables, the sun-outage forecast, news and a forum, with signed data and\n"
    "program updates downloaded in the background. The interface is in Chinese.\n"
    "\n"
    "/usr/bin/zorvast runs each user's own copy of the program from\n"
    "~/.local/share/zorvast, so that its online updates need no root. The\n"
    "package also has zorvast-cli, the same calculations and queries in a\n"
    "terminal.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZORVAST_HOMEPAGE}")
# The libraries from dpkg-shlibdeps; the interface is Chinese, so a CJK font too.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Qt's own dialogs (the save dialog) in Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
