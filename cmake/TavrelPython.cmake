# The Python binding as the Debian package python3-tavrel installs it: the
# package in Debian's folder for Python 3 modules of every version, with the
# metadata that tells pip it is there (and, having no RECORD, that pip must
# leave it to the system's package manager).
set(TAVREL_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Where the python component installs the tavrel package (relative to the prefix)")
set(TAVREL_PYTHON_DIST_INFO ${PROJECT_BINARY_DIR}/python/tavrel-${PROJECT_VERSION}.dist-info)
file(WRITE ${TAVREL_PYTHON_DIST_INFO}/METADATA
  "Metadata-Version: 2.1\nName: tavrel\nVersion: ${PROJECT_VERSION}\n"
  "Summary: Python host binding of the Tavrel feeder self-tuning library and its host kit\n"
  "License: MIT\nRequires-Dist: cffi>=1.15\n")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/tavrel ${TAVREL_PYTHON_DIST_INFO}
  DESTINATION ${TAVREL_PYTHON_DIR} COMPONENT python
  PATTERN "__pycache__" EXCLUDE PATTERN "*.pyc" EXCLUDE)
