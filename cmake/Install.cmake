# Installation: the public headers, the shared libraries (vok32, its companion
# vok32x and the QVRCore library vok32 imports), the vok tool when it is
# built, a CMake package giving vok32::vok32, vok32::vok32x and
# vok32::QVRCore, and pkg-config files for both libraries and QVRCore.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VOK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vok32)
set(VOK_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installed binaries find their neighbours relative to themselves, so an
# installation works from any prefix without LD_LIBRARY_PATH: libvok32 loads
# libQVRCore and libvok32x loads libvok32 from their own directory, the tool
# loads them from the library directory.
if(NOT WIN32 AND NOT APPLE)
  set_target_properties(vok32 vok32x PROPERTIES INSTALL_RPATH "$ORIGIN")
  if(TARGET vok)
    file(RELATIVE_PATH vok_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(vok PROPERTIES INSTALL_RPATH "$ORIGIN/${vok_bin_to_lib}")
  endif()
endif()

install(TARGETS vok32 vok32x QVRCore
  EXPORT vok32Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)

install(FILES
  ${PROJECT_SOURCE_DIR}/include/vok32.h
  ${PROJECT_SOURCE_DIR}/include/vok32.hpp
  ${PROJECT_SOURCE_DIR}/include/vok32_detail.hpp
  ${PROJECT_SOURCE_DIR}/include/vok32_statuses.h
  ${PROJECT_SOURCE_DIR}/include/vok32_items.h
  ${PROJECT_SOURCE_DIR}/include/vok32x.h
  ${PROJECT_SOURCE_DIR}/include/vok32x.hpp
  ${PROJECT_BINARY_DIR}/include/vok32_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/qvrcore/include/qvrcore.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

if(TARGET vok)
  # Exported too: vok32_generate runs it as vok32::vok.
  install(TARGETS vok EXPORT vok32Targets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endif()

# CMake package: find_package(vok32 CONFIG) in any 1.x consumer.
install(EXPORT vok32Targets
  NAMESPACE vok32::
  DESTINATION ${VOK_INSTALL_CMAKEDIR}
  COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vok32Config.cmake.in
  ${PROJECT_BINARY_DIR}/vok32Config.cmake
  INSTALL_DESTINATION ${VOK_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vok32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vok32Config.cmake ${PROJECT_BINARY_DIR}/vok32ConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/vok32Generate.cmake
  DESTINATION ${VOK_INSTALL_CMAKEDIR} COMPONENT Development)

# pkg-config: the prefix is derived from the .pc file's own place, so the
# installation stays valid under `cmake --install --prefix` and when moved.
file(RELATIVE_PATH VOK_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" VOK_PC_TO_PREFIX "${VOK_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${dir}})
    set(VOK_PC_${dir} ${CMAKE_INSTALL_${dir}})
  else()
    set(VOK_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(vok_pc_files vok32 vok32x QVRCore)
foreach(pc IN LISTS vok_pc_files)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
    DESTINATION ${VOK_INSTALL_PKGCONFIGDIR} COMPONENT Development)
endforeach()
