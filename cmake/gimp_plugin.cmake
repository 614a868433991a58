# zentrow_gimp_plugin(TARGET PKG FALLBACK SOURCES...): the GIMP plug-in
# TARGET, a program named file-kcf, built against the pkg-config module PKG
# (gimp-2.0, gimp-3.0) whose imported target is PkgConfig::LIBS_VAR.
#
# GIMP runs a plug-in found in a folder of its plug-in path named after the
# program, so the build tree keeps one such folder, BUILD/plug-ins/file-kcf/
# (BUILD the caller's folder of the tree), with the module beside the
# plug-in, where the plug-in looks first; a test's gimprc names
# BUILD/plug-ins. ZENTROW_<TARGET>_DIR is set, in the caller's parent scope,
# to where GIMP looks for it under the install prefix (relative, so that the
# install rule follows CMAKE_INSTALL_PREFIX and the .deb's /usr alike;
# FALLBACK when GIMP's folder lies outside its prefix), and the plug-in is
# told the installed module's folder, lib/zentrow/, as seen from there.
function(zentrow_gimp_plugin target pkg imported fallback)
  pkg_get_variable(gimp_libdir ${pkg} gimplibdir)
  pkg_get_variable(gimp_prefix ${pkg} prefix)
  file(RELATIVE_PATH libdir "${gimp_prefix}" "${gimp_libdir}")
  if(libdir MATCHES "^\\.\\./" OR IS_ABSOLUTE "${libdir}")
    set(libdir ${fallback})
  endif()
  string(TOUPPER ${target} upper)
  set(ZENTROW_${upper}_DIR ${libdir}/plug-ins/file-kcf PARENT_SCOPE)
  file(RELATIVE_PATH to_module /prefix/${libdir}/plug-ins/file-kcf /prefix/lib/zentrow)

  set(plugin_dir ${CMAKE_CURRENT_BINARY_DIR}/plug-ins/file-kcf)
  add_executable(${target} ${ARGN})
  # The use-case layer plughost's command line calls too, and the host library under it.
  target_link_libraries(${target} PRIVATE plughost_usecases ${imported})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE ZENTROW_GIMP_MODULE_FOLDER="${to_module}/")
  target_compile_options(${target} PRIVATE ${ZENTROW_WARNINGS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME file-kcf
                        RUNTIME_OUTPUT_DIRECTORY ${plugin_dir})

  # The module beside the plug-in, copied again whenever it is rebuilt.
  set(beside ${plugin_dir}/$<TARGET_FILE_NAME:${ZENTROW_MODULE_TARGET}>)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/module.stamp
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${ZENTROW_MODULE_TARGET}> ${beside}
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/module.stamp
    DEPENDS ${ZENTROW_MODULE_TARGET}
    COMMENT "Placing the module beside the GIMP plug-in (${pkg})"
    VERBATIM)
  add_custom_target(${target}_module ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/module.stamp)
  add_dependencies(${target} ${target}_module)
endfunction()
