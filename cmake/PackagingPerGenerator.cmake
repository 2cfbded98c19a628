# Read by cpack once per generator. The product has no licence text of its
# own, so the installer shows no licence page instead of CMake's placeholder.
if(CPACK_GENERATOR STREQUAL "NSIS")
  unset(CPACK_RESOURCE_FILE_LICENSE)
endif()
