# SPDX-License-Identifier: Zlib
# What `cmake --install build --prefix P` puts where (GNUInstallDirs): the
# runtime library with its header, CMake package and pkg-config file; with
# the tool also the host and its modules in <libdir>/tov (the host finds
# its modules beside its real executable, and <bindir>/tov links to it),
# tov-archive, the SDK in <datadir>/tov and the manual pages.
include(CMakePackageConfigHelpers)

install(TARGETS tov_archive tov_archive_static EXPORT tovTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})  # Windows' DLL
install(FILES ${PROJECT_SOURCE_DIR}/tov/include/tov/tov_archive.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tov)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tov)
install(EXPORT tovTargets NAMESPACE tov:: DESTINATION ${package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tovConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tovConfig.cmake INSTALL_DESTINATION ${package_dir})
# Archives keep their format across versions; the API may change with the
# major version (0 while the project is young: then with the minor one).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tovConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tovConfig.cmake ${PROJECT_BINARY_DIR}/tovConfigVersion.cmake
  DESTINATION ${package_dir})

# The .pc file finds the prefix from its own place, so an installed tree can
# be moved.
file(RELATIVE_PATH pc_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tov.pc.in ${PROJECT_BINARY_DIR}/tov.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tov.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TOV_RUNTIME_ONLY)
  return()
endif()

set(tool_dir ${CMAKE_INSTALL_LIBDIR}/tov)
get_property(modules GLOBAL PROPERTY TOV_MODULE_TARGETS)
install(TARGETS tov_host zu_sys ${modules}
  RUNTIME DESTINATION ${tool_dir}
  LIBRARY DESTINATION ${tool_dir})
file(RELATIVE_PATH host_link /${CMAKE_INSTALL_BINDIR} /${tool_dir}/tov)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  message(STATUS \"Installing: \${bin}/tov -> ${host_link}\")
  file(CREATE_LINK \"${host_link}\" \"\${bin}/tov\" SYMBOLIC)")

file(RELATIVE_PATH to_tool_dir /${CMAKE_INSTALL_BINDIR} /${tool_dir})
file(RELATIVE_PATH to_lib_dir /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(tov_archive_tool PROPERTIES
  INSTALL_RPATH "$ORIGIN/${to_lib_dir};$ORIGIN/${to_tool_dir}")
install(TARGETS tov_archive_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/sdk/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tov)
install(FILES ${PROJECT_SOURCE_DIR}/doc/tov.1 ${PROJECT_SOURCE_DIR}/doc/tov-archive.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
