# Read by cpack for each generator: the zip and the setup program are named apart.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_FRAMELARK_FILE_STEM}-setup")
else()
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_FRAMELARK_FILE_STEM}-win64")
endif()
