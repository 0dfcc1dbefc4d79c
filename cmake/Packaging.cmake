# Packages made by cpack from the tree already built (cd build && cpack): nothing is compiled
# again. What every package says of the program is set first; each platform's generator
# follows in a block of its own, so a Windows installer's generator goes beside the Debian one.
set(CPACK_PACKAGE_NAME zelvory)
set(CPACK_PACKAGE_VENDOR "QBS Software")
set(CPACK_PACKAGE_CONTACT "QBS Software <support@qbsoftware.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "journal of what you do to files, folders and drives")
# Wrapped by hand: the package's description is shown as it is, on 80-column terminals too.
set(CPACK_PACKAGE_DESCRIPTION [[
Zelvory records every file or folder you create, delete or rename, every
storage medium inserted or removed and every drive added or removed, one line
per operation in a plain-text log file for the day. Its window shows today's
records as they happen and any range of past days; from a terminal it prints,
filters and follows the journal as text, CSV or JSON.]])
set(CPACK_PACKAGE_HOMEPAGE_URL "${ZLV_HOMEPAGE_URL}")
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(GNUInstallDirs)

if(UNIX AND NOT APPLE AND TARGET zelvory)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the binary links, as dpkg-shlibdeps reads them from it.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Without it Qt falls back to XWayland on a Wayland desktop.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # Whatever the umask of whoever builds: folders 0755, as in every package.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  install(FILES ${PROJECT_SOURCE_DIR}/data/zelvory.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zelvory)
endif()

# Windows: one 64-bit NSIS installer, per user, built with every build where makensis is
# found (Debian's nsis). CPack's own NSIS template installs for all users and asks for
# administrator rights, so the script is ours (packaging/windows/zelvory.nsi).
if(WIN32 AND TARGET zelvory)
  find_program(ZLV_MAKENSIS makensis)
  if(ZLV_MAKENSIS)
    set(ZLV_INSTALLER
        ${CPACK_PACKAGE_DIRECTORY}/zelvory-${PROJECT_VERSION}-win64-setup.exe)
    set(staged ${PROJECT_BINARY_DIR}/installer/zelvory.exe)
    set(strip_step)
    if(CMAKE_STRIP)
      set(strip_step COMMAND ${CMAKE_STRIP} ${staged})
    endif()
    add_custom_command(OUTPUT ${ZLV_INSTALLER}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/installer
              ${CPACK_PACKAGE_DIRECTORY}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zelvory> ${staged}
      ${strip_step}
      COMMAND ${ZLV_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${staged}
              -DICON=${PROJECT_SOURCE_DIR}/resources/windows/zelvory.ico
              -DOUTFILE=${ZLV_INSTALLER} ${PROJECT_SOURCE_DIR}/packaging/windows/zelvory.nsi
      DEPENDS zelvory ${PROJECT_SOURCE_DIR}/packaging/windows/zelvory.nsi
      COMMENT "The Windows installer"
      VERBATIM)
    add_custom_target(zelvory_installer ALL DEPENDS ${ZLV_INSTALLER})
  endif()
endif()

include(CPack)
