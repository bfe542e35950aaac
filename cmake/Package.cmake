# Release packages made by cpack from the installation: a zip for Windows
# (vok32-<version>-win64.zip) and a gzipped tarball for Linux
# (vok32-<version>-Linux.tar.gz), each with the README and the licence.
if(WIN32)
  # Top level of the unpacked folder, where Windows users look for them.
  set(VOK_INSTALL_DOCDIR .)
  set(CPACK_GENERATOR ZIP)
  if(VOK_WINDOWS_CRT STREQUAL "msvcrt")
    set(CPACK_SYSTEM_NAME win64-msvcrt) # never mistaken for the default build
  endif()
else()
  set(VOK_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR TGZ)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${VOK_INSTALL_DOCDIR} COMPONENT Documentation)
# Beside the README, so that its links to docs/ resolve where it is installed.
file(GLOB vok_docs ${PROJECT_SOURCE_DIR}/docs/*.md)
file(GLOB vok_doc_pictures ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${vok_docs} ${vok_doc_pictures}
  DESTINATION ${VOK_INSTALL_DOCDIR}/docs COMPONENT Documentation)

set(CPACK_PACKAGE_VENDOR "the vok32 authors")
set(CPACK_STRIP_FILES ON) # the debug information stays in the build tree
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
