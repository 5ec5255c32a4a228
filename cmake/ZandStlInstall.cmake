# Install rules: headers, the library, a CMake package exporting
# zand_stl::zand_stl, and (except for MSVC) a pkg-config file, under the
# GNUInstallDirs places. MSVC's Debug and Release builds installed into one
# prefix sit side by side (zand_stld.dll beside zand_stl.dll), and the
# package hands each caller configuration its own.
include(CMakePackageConfigHelpers)

set(ZAND_STL_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/zand_stl")

install(TARGETS zand_stl
  EXPORT zand_stlTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

# The internal header goes too: the map's declaration holds the table by
# value, so callers must be able to compile it (but never use it).
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/zand_stl"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  FILES_MATCHING PATTERN "*.h")

install(EXPORT zand_stlTargets
  NAMESPACE zand_stl::
  DESTINATION "${ZAND_STL_CMAKE_DIR}")

configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/zand_stlConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/zand_stlConfig.cmake"
  INSTALL_DESTINATION "${ZAND_STL_CMAKE_DIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/zand_stlConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/zand_stlConfig.cmake"
  "${PROJECT_BINARY_DIR}/zand_stlConfigVersion.cmake"
  DESTINATION "${ZAND_STL_CMAKE_DIR}")

# pkg-config: MSVC's tools do not read its files, and its flags would not
# fit them.
if(MSVC)
  return()
endif()
# The file works out its prefix from where it lies, ${pcfiledir}, the
# library directory's pkgconfig/, so that an install moved elsewhere (or made
# with `cmake --install --prefix`) still finds itself. An absolute library
# directory leaves the prefix fixed.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(ZAND_STL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  set(ZAND_STL_PC_PREFIX "\${pcfiledir}/..")
  string(REGEX MATCHALL "[^/]+" levels "${CMAKE_INSTALL_LIBDIR}")
  foreach(level IN LISTS levels)
    string(APPEND ZAND_STL_PC_PREFIX "/..")
  endforeach()
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(ZAND_STL_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(ZAND_STL_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file("${PROJECT_SOURCE_DIR}/cmake/zand_stl.pc.in"
  "${PROJECT_BINARY_DIR}/zand_stl.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/zand_stl.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
