# What `cmake --install` puts where, and the packages cpack makes of it.
#
# Natively, a tree that works from any prefix: plughost in bin/, the module it
# loads by default in lib/zentrow/ (plughost looks there, relative to its own
# folder), the README, licence and a man page under share/, and the GIMP
# plug-in where GIMP looks. cpack makes zentrow-VERSION-Linux.tar.gz of it
# all, and two Debian packages, as Debian ships GIMP plug-ins apart:
# zentrow_VERSION_ARCH.deb (plughost, the module, the manual) and
# gimp-plugin-zentrow_VERSION_ARCH.deb (the plug-in, needing zentrow and GIMP).
#
# In the Windows tree, one folder as a user unpacks it: Zentrow.8bi with
# plughost.exe beside it (where plughost finds its module), the licence and
# INSTALL.txt. cpack makes Zentrow-VERSION-win32.zip (or -win64) of it, the
# four files in a folder of that name.

set(CPACK_PACKAGE_NAME zentrow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Zentrow authors")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Packages land apart from the tree's own bin/, which tests use.
set(CPACK_OUTPUT_FILE_PREFIX packages)
# A package's folders are 755 whatever the umask of whoever built it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  math(EXPR ZENTROW_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  # Notepad users get Windows line ends.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/packaging/LICENSE
                 @ONLY NEWLINE_STYLE WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/INSTALL.txt.in
                 ${CMAKE_BINARY_DIR}/packaging/INSTALL.txt @ONLY NEWLINE_STYLE WIN32)
  # Only the runtime part of the DLL target: its import library is of no use
  # to anyone without our sources. As targets, cpack can strip them.
  install(TARGETS zentrow_dll plughost RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/LICENSE ${CMAKE_BINARY_DIR}/packaging/INSTALL.txt
          DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  # What ships carries no debugging sections (the build tree keeps them).
  # strip stamps a PE file with the time it runs, and the zip would hold
  # each file's times, unless SOURCE_DATE_EPOCH says the time to use: cpack
  # sets it to the source's date (its last commit's, else 1980), unless the
  # caller did, so that two zips of one tree are the same bytes.
  set(CPACK_STRIP_FILES ON)
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE ZENTROW_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE ZENTROW_GIT_FAILED ERROR_QUIET)
  if(ZENTROW_GIT_FAILED OR NOT ZENTROW_SOURCE_DATE MATCHES "^[0-9]+$")
    set(ZENTROW_SOURCE_DATE 315532800)
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/cpack-options.cmake
       "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} ${ZENTROW_SOURCE_DATE})\nendif()\n")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/cpack-options.cmake)
  set(CPACK_PACKAGE_FILE_NAME Zentrow-${PROJECT_VERSION}-${ZENTROW_WINDOWS})
  # The four files in one folder of the package's name, so that unpacking
  # the zip scatters nothing.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS plughost RUNTIME DESTINATION bin COMPONENT zentrow)
  install(TARGETS zentrow LIBRARY DESTINATION lib/zentrow COMPONENT zentrow)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION share/doc/zentrow COMPONENT zentrow)

  # The user's manual, a source of its own (packaging/plughost.1; a test
  # checks that it names every option of every command), compressed as
  # Debian wants manual pages; and the copyright and changelog a Debian
  # package carries.
  set(ZENTROW_PACKAGING ${CMAKE_BINARY_DIR}/packaging)
  file(MAKE_DIRECTORY ${ZENTROW_PACKAGING})
  add_custom_command(OUTPUT ${ZENTROW_PACKAGING}/plughost.1.gz ${ZENTROW_PACKAGING}/changelog.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/plughost.1 > plughost.1.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/plughost.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
    WORKING_DIRECTORY ${ZENTROW_PACKAGING}
    COMMENT "Compressing the manual and the changelog"
    VERBATIM)
  add_custom_target(zentrow_docs ALL DEPENDS ${ZENTROW_PACKAGING}/plughost.1.gz
                                             ${ZENTROW_PACKAGING}/changelog.gz)
  install(FILES ${ZENTROW_PACKAGING}/plughost.1.gz DESTINATION share/man/man1 COMPONENT zentrow)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${ZENTROW_PACKAGING}/changelog.gz
          DESTINATION share/doc/zentrow COMPONENT zentrow)

  # The GIMP plug-in, where GIMP looks for plug-ins under the prefix
  # (lib/gimp/2.0/plug-ins/file-kcf/ on Debian, so /usr/lib/... from the
  # .deb); from there it finds the module in lib/zentrow/.
  if(TARGET file_kcf)
    install(TARGETS file_kcf RUNTIME DESTINATION ${ZENTROW_GIMP_PLUGIN_DIR} COMPONENT gimp)
    # A Debian package carries its own copyright and changelog.
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${ZENTROW_PACKAGING}/changelog.gz
            DESTINATION share/doc/gimp-plugin-zentrow COMPONENT gimp)
  endif()
  # GIMP 3's plug-in, in GIMP 3's folder (lib/x86_64-linux-gnu/gimp/3.0/
  # plug-ins/file-kcf/ on Debian 13), finding the module the same way.
  if(TARGET file_kcf3)
    install(TARGETS file_kcf3 RUNTIME DESTINATION ${ZENTROW_GIMP3_PLUGIN_DIR} COMPONENT gimp3)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${ZENTROW_PACKAGING}/changelog.gz
            DESTINATION share/doc/gimp3-plugin-zentrow COMPONENT gimp3)
  endif()

  set(CPACK_GENERATOR TGZ DEB)
  # Installed files carry no debugging sections: build trees keep those.
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zentrow authors <zentrow@users.noreply.github.com>")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(ZENTROW_ABOUT
"Zentrow lets an image-editor host open and save KiSS palette files (.kcf),
the palettes of the KiSS paper-doll system. A palette opens as a 16 x 16
RGB image, one pixel per colour; an RGB image saves as a 24-bit palette.
.
")
  # Each package's first line is its own summary: CPack prepends none when
  # CPACK_PACKAGE_DESCRIPTION_SUMMARY is left unset.
  set(CPACK_DEBIAN_ZENTROW_DESCRIPTION "file-format plug-in module for KiSS palettes (.kcf)
${ZENTROW_ABOUT}This package holds the module built as a native library and plughost, a
command-line host that loads it to convert palettes to PNG or PPM images,
or to GIMP (.gpl) and JASC (.pal) palettes for other editors, and back,
probe files, and drive the module as other hosts would.")
  # The libraries plughost and the module link, at the versions the build
  # machine's symbols call for.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_ZENTROW_PACKAGE_NAME zentrow)
  set(CPACK_COMPONENTS_ALL zentrow)
  if(TARGET file_kcf)
    list(APPEND CPACK_COMPONENTS_ALL gimp)
    set(CPACK_DEBIAN_GIMP_PACKAGE_NAME gimp-plugin-zentrow)
    # The module it hosts comes from zentrow, at this very version; GIMP
    # is what runs it, and libgimp's libraries are found by shlibdeps.
    set(CPACK_DEBIAN_GIMP_PACKAGE_DEPENDS "zentrow (= ${PROJECT_VERSION}), gimp (>= 2.10)")
    set(CPACK_DEBIAN_GIMP_DESCRIPTION "GIMP plug-in for KiSS palettes (.kcf) through Zentrow
${ZENTROW_ABOUT}This package holds file-kcf, a GIMP 2.10 plug-in that hosts the Zentrow
module: GIMP opens .kcf palettes, a palette of several groups with a layer
per group, and exports RGB images as palettes, each layer back into its
group of the palette it came from.")
  endif()
  if(TARGET file_kcf3)
    list(APPEND CPACK_COMPONENTS_ALL gimp3)
    set(CPACK_DEBIAN_GIMP3_PACKAGE_NAME gimp3-plugin-zentrow)
    set(CPACK_DEBIAN_GIMP3_PACKAGE_DEPENDS "zentrow (= ${PROJECT_VERSION}), gimp (>= 3.0)")
    set(CPACK_DEBIAN_GIMP3_DESCRIPTION "GIMP 3 plug-in for KiSS palettes (.kcf) through Zentrow
${ZENTROW_ABOUT}This package holds file-kcf, a GIMP 3 plug-in that hosts the Zentrow
module: GIMP opens .kcf palettes, a palette of several groups with a layer
per group, and exports images as palettes, each layer back into its group
of the palette it came from.")
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # No maintainer scripts: see packaging/deb_without_ldconfig.cmake.
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb_without_ldconfig.cmake)
endif()

include(CPack)
