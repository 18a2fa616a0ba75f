# Install rules, the exported CMake package and the pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS tavrel EXPORT TavrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT TavrelTargets
  NAMESPACE Tavrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tavrel)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TavrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tavrel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TavrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tavrel)

configure_file(${CMAKE_CURRENT_LIST_DIR}/tavrel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tavrel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tavrel.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
