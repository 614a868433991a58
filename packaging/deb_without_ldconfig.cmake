# Run by cpack after it has made the packages. CPack gives a .deb maintainer
# scripts that run ldconfig whenever a library lies under usr/lib, but the
# module lives in a folder of its own that the dynamic linker never
# searches: the scripts have nothing to do, and a postrm makes dpkg keep a
# record of the package after it is removed. So the .deb is made again
# without them, its files and their checksums unchanged.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/deb-without-ldconfig)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm ${tree}/DEBIAN/triggers)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
