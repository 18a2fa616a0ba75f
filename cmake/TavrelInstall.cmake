# Install rules: the library (component runtime), its headers, CMake package and
# pkg-config file (component dev). The tools install their own (component tools).
include(CMakePackageConfigHelpers)

set(TAVREL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tavrel)
set(TAVREL_PKGCONFIG_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/pkgconfig.pc.in)

# The pkg-config file finds the prefix from its own folder, so a moved install
# still works; an absolute library folder pins the install to the configured
# prefix (as it does the CMake package).
function(tavrel_pc_prefix pc_dir out)
  if(IS_ABSOLUTE "${pc_dir}")
    set(${out} "${CMAKE_INSTALL_PREFIX}" PARENT_SCOPE)
    return()
  endif()
  set(prefix "\${pcfiledir}")
  string(REPLACE "/" ";" steps "${pc_dir}")
  foreach(step IN LISTS steps)
    if(NOT step STREQUAL "" AND NOT step STREQUAL ".")
      string(APPEND prefix "/..")
    endif()
  endforeach()
  set(${out} "${prefix}" PARENT_SCOPE)
endfunction()

# A folder below ${prefix} unless absolute.
function(tavrel_pc_dir dir out)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

# tavrel_install_pkgconfig(NAME DESCRIPTION text LIBS flag... [REQUIRES module...]
#                          [COMPONENT component])
# Installs NAME.pc (component dev unless given) into <libdir>/pkgconfig; it
# holds for any CMAKE_INSTALL_LIBDIR, relative of any depth or absolute.
function(tavrel_install_pkgconfig name)
  cmake_parse_arguments(PC "" "DESCRIPTION;COMPONENT" "LIBS;REQUIRES" ${ARGN})
  if(NOT PC_COMPONENT)
    set(PC_COMPONENT dev)
  endif()
  set(PC_NAME ${name})
  set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  tavrel_pc_prefix(${pc_dir} PC_PREFIX)
  tavrel_pc_dir("${CMAKE_INSTALL_LIBDIR}" PC_LIBDIR)
  tavrel_pc_dir("${CMAKE_INSTALL_INCLUDEDIR}" PC_INCLUDEDIR)
  list(JOIN PC_LIBS " " PC_LIBS)
  set(PC_REQUIRES_LINE "")
  if(PC_REQUIRES)
    list(JOIN PC_REQUIRES ", " requires)
    set(PC_REQUIRES_LINE "Requires: ${requires}\n")
  endif()
  configure_file(${TAVREL_PKGCONFIG_TEMPLATE} ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc DESTINATION ${pc_dir}
          COMPONENT ${PC_COMPONENT})
endfunction()

install(TARGETS tavrel EXPORT TavrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

install(EXPORT TavrelTargets
  NAMESPACE Tavrel::
  DESTINATION ${TAVREL_CMAKE_PACKAGE_DIR}
  COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TavrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfig.cmake
  INSTALL_DESTINATION ${TAVREL_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TavrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TavrelConfigVersion.cmake
  DESTINATION ${TAVREL_CMAKE_PACKAGE_DIR}
  COMPONENT dev)

tavrel_install_pkgconfig(tavrel
  DESCRIPTION "Self-tuning of flexible parts feeder vibration parameters"
  LIBS -ltavrel)
