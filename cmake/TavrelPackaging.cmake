# Debian packages with CPack (`cpack --preset deb`, see tools/build-debs.sh):
#   libtavrel1     component runtime: the shared libraries (library, host kit)
#   libtavrel-dev  component dev: headers, .so links, CMake package, pkg-config
#   tavrel-tools   component tools: tavrel-sim, tavrel-replay, the plotting script
#   python3-tavrel component python: the Python binding
#   libtavrel-frames1    component frames: the frames library (on OpenCV)
#   libtavrel-frames-dev component frames_dev: its header, .so link, CMake
#                        targets and pkg-config file
#   tavrel-frames-tools  component frames_tools: tavrel-calibrate, tavrel-locate
# Each carries the licence as its copyright file and a Debian changelog;
# cmake/debian/ holds what they take from files (lintian overrides, triggers).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrel)
set(CPACK_PACKAGE_VENDOR "The Tavrel developers")
set(CPACK_PACKAGE_CONTACT "The Tavrel developers <tavrel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tavrel.example.org/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools python)
if(TAVREL_BUILD_FRAMES)
  list(APPEND CPACK_COMPONENTS_ALL frames frames_dev frames_tools)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The kit and the frames library are found among the libraries this build
# made (packaged in libtavrel1 and libtavrel-frames1, which the packages
# that link them depend on).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/hostkit
    ${PROJECT_BINARY_DIR}/frames)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The exported surface is closed: a host built against this version runs on
# any later one of the same major version.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtavrel${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtavrel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tavrel-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION science)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "python3")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "python3-matplotlib")
set(CPACK_DEBIAN_FRAMES_PACKAGE_NAME libtavrel-frames${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_FRAMES_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FRAMES_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_FRAMES_DEV_PACKAGE_NAME libtavrel-frames-dev)
set(CPACK_DEBIAN_FRAMES_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_FRAMES_TOOLS_PACKAGE_NAME tavrel-frames-tools)
set(CPACK_DEBIAN_FRAMES_TOOLS_PACKAGE_SECTION science)
# Pure Python on the libraries of its own release.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tavrel)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= 3.11), python3-cffi (>= 1.15)")
# tavrel.frames, imported on its own, needs both.
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-numpy, libtavrel-frames1")

set(TAVREL_SUMMARY "self-tuning of flexible parts feeder vibrations")
# CPack indents the lines after the synopsis and marks blank ones.
set(TAVREL_ABOUT
  "Tavrel tunes the vibration parameters of a flexible parts feeder by itself:\n"
  "it commands a vibration, reads where the part went, scores the outcome and\n"
  "steps the motors' frequency and amplitude until the part reaches its target.\n\n")
string(CONCAT CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "${TAVREL_SUMMARY} - library\n" ${TAVREL_ABOUT}
  "This package holds the shared libraries that feeder hosts load: the\n"
  "library itself and the host kit.")
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
  "${TAVREL_SUMMARY} - development files\n" ${TAVREL_ABOUT}
  "This package holds the C headers, the CMake package and the pkg-config\n"
  "files of the library and the host kit, for building feeder hosts.")
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
  "${TAVREL_SUMMARY} - simulator and replay\n" ${TAVREL_ABOUT}
  "This package holds tavrel-sim, which tunes simulated feeders and draws a\n"
  "session, and tavrel-replay, which drives the library from recorded polls.")
string(CONCAT CPACK_COMPONENT_FRAMES_DESCRIPTION
  "${TAVREL_SUMMARY} - frames library\n" ${TAVREL_ABOUT}
  "This package holds libtavrel_frames, which finds the part in backlit\n"
  "camera frames in the library's own coordinates: calibration, locator,\n"
  "settling and rendered frames, on OpenCV.")
string(CONCAT CPACK_COMPONENT_FRAMES_DEV_DESCRIPTION
  "${TAVREL_SUMMARY} - frames development files\n" ${TAVREL_ABOUT}
  "This package holds the C header, the CMake targets and the pkg-config\n"
  "file of the frames library.")
string(CONCAT CPACK_COMPONENT_FRAMES_TOOLS_DESCRIPTION
  "${TAVREL_SUMMARY} - camera tools\n" ${TAVREL_ABOUT}
  "This package holds tavrel-calibrate, which calibrates a feeder camera on\n"
  "its lit platform, and tavrel-locate, which locates the part in backlit\n"
  "frames in the library's own coordinates.")
string(CONCAT CPACK_COMPONENT_PYTHON_DESCRIPTION
  "${TAVREL_SUMMARY} - Python binding\n" ${TAVREL_ABOUT}
  "This package holds the Python module tavrel: feeder hosts in Python on the\n"
  "library and the host kit, with sessions, capture, recording and the\n"
  "simulated feeder.")

# The copyright file (the licence's permission text from LICENSE, in Debian's
# layout) and the changelog every Debian package carries.
set(TAVREL_DEBIAN_DOCS ${PROJECT_BINARY_DIR}/debian-docs)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^.*Copyright \\(c\\)[^\n]*\n\n" "" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " TAVREL_LICENCE_TEXT "${licence}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${TAVREL_DEBIAN_DOCS}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${TAVREL_DEBIAN_DOCS}/changelog @ONLY)
add_custom_command(OUTPUT ${TAVREL_DEBIAN_DOCS}/changelog.gz
  COMMAND gzip -9nf -k ${TAVREL_DEBIAN_DOCS}/changelog
  DEPENDS ${TAVREL_DEBIAN_DOCS}/changelog
  VERBATIM)
add_custom_target(tavrel_debian_docs ALL DEPENDS ${TAVREL_DEBIAN_DOCS}/changelog.gz)
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${TAVREL_DEBIAN_DOCS}/copyright ${TAVREL_DEBIAN_DOCS}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  set(overrides ${CMAKE_CURRENT_LIST_DIR}/debian/${component}.lintian-overrides)
  if(EXISTS ${overrides})
    install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
      RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endforeach()

include(CPack)
cpack_add_component(runtime DISPLAY_NAME "Library")
cpack_add_component(dev DISPLAY_NAME "Development files" DEPENDS runtime)
# The tools link the library's objects themselves: they need no package of ours.
cpack_add_component(tools DISPLAY_NAME "Simulator and replay")
cpack_add_component(python DISPLAY_NAME "Python binding" DEPENDS runtime)
if(TAVREL_BUILD_FRAMES)
  cpack_add_component(frames DISPLAY_NAME "Frames library" DEPENDS runtime)
  cpack_add_component(frames_dev DISPLAY_NAME "Frames development files" DEPENDS frames dev)
  cpack_add_component(frames_tools DISPLAY_NAME "Camera tools" DEPENDS frames)
endif()
