# Windows DLLs: which C runtime they use, what they export, and the import
# libraries that Microsoft's linker reads.
#
# VOK_WINDOWS_CRT picks the C runtime of the DLLs that mingw-w64 builds:
#   ucrt    the Universal CRT (ucrtbase.dll through the api-ms-win-crt-* DLLs),
#           which every program built with Microsoft's toolchain uses;
#   msvcrt  the old system runtime msvcrt.dll, the mingw-w64 default.
# vok32.dll releases with free() the block QVRCore.dll allocates, so both come
# from the same runtime; a QVRCore.dll of another origin must match too.
# Test programs stay on msvcrt.dll whatever this says (see tests/windows).
set(VOK_WINDOWS_CRT ucrt CACHE STRING "C runtime of the Windows DLLs: ucrt or msvcrt")
set_property(CACHE VOK_WINDOWS_CRT PROPERTY STRINGS ucrt msvcrt)
if(NOT VOK_WINDOWS_CRT MATCHES "^(ucrt|msvcrt)$")
  message(FATAL_ERROR "VOK_WINDOWS_CRT must be ucrt or msvcrt, not '${VOK_WINDOWS_CRT}'")
endif()

include(GNUInstallDirs)
if(MINGW)
  find_program(VOK_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
endif()

# Test programs find the DLLs only in their own folder, so every binary of the
# build goes to one place inside the build tree, beside the import libraries.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)

# GCC 12 has no switch for the runtime: a specs file takes the place of
# -lmsvcrt with -lucrt in the libraries every link ends with, and tells the
# mingw-w64 headers which runtime they describe (through cpp for C, cc1plus
# for C++, which does not take additions to cpp).  Made from the compiler's
# own specs, so it follows whatever else that line holds.
function(vok_write_ucrt_specs path)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpspecs
    OUTPUT_VARIABLE specs RESULT_VARIABLE failed)
  string(REGEX MATCH "\\*libgcc:\n[^\n]*" libgcc "${specs}")
  string(REPLACE " -lmsvcrt " " -lucrt " ucrt_libgcc "${libgcc}")
  if(failed OR ucrt_libgcc STREQUAL libgcc)
    message(FATAL_ERROR "${CMAKE_C_COMPILER} has no libgcc spec linking -lmsvcrt to replace")
  endif()
  set(defines "+ -D_UCRT -D__MSVCRT_VERSION__=0xE00")
  # Rewritten only when it changes, since every object of the DLLs depends on it.
  file(WRITE ${path}.new "*cpp:\n${defines}\n\n*cc1plus:\n${defines}\n\n${ucrt_libgcc}\n\n")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  foreach(language c c++)
    execute_process(COMMAND ${CMAKE_C_COMPILER} -specs=${path} -dM -E -x ${language} /dev/null
      OUTPUT_VARIABLE macros)
    if(NOT macros MATCHES "#define _UCRT 1\n" OR NOT macros MATCHES "__MSVCRT_VERSION__ 0xE00\n")
      message(FATAL_ERROR "${path} does not define _UCRT for ${language}")
    endif()
  endforeach()
endfunction()

if(MINGW AND VOK_WINDOWS_CRT STREQUAL "ucrt")
  set(VOK_UCRT_SPECS ${PROJECT_BINARY_DIR}/ucrt.specs)
  vok_write_ucrt_specs(${VOK_UCRT_SPECS})
endif()

# vok_windows_crt(target): compiles and links target for VOK_WINDOWS_CRT.
function(vok_windows_crt target)
  if(VOK_UCRT_SPECS)
    target_compile_options(${target} PRIVATE -specs=${VOK_UCRT_SPECS})
    # Debian's static winpthreads (which libgcc's thread-local storage pulls
    # in wherever C++ exception support is linked, as libstdc++'s number
    # conversions do) was compiled for msvcrt.dll and calls _setjmp, which the
    # UCRT does not export.  Its headers map _setjmp to __intrinsic_setjmpex
    # on 64-bit UCRT builds, same arguments; the link does the same.
    target_link_options(${target} PRIVATE -specs=${VOK_UCRT_SPECS}
      -Wl,--defsym=_setjmp=__intrinsic_setjmpex)
    get_target_property(sources ${target} SOURCES)
    set_property(SOURCE ${sources} APPEND PROPERTY OBJECT_DEPENDS ${VOK_UCRT_SPECS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VOK_UCRT_SPECS})
  endif()
endfunction()

# vok_windows_dll(target def): the DLL named as target (no "lib" prefix),
# exporting exactly what the .def file lists, on VOK_WINDOWS_CRT, with an
# import library <target>.lib in the COFF format of link.exe and lld-link
# beside the GNU one, installed with it.
function(vok_windows_dll target def)
  set(def ${CMAKE_CURRENT_SOURCE_DIR}/${def})
  target_sources(${target} PRIVATE ${def})
  set_target_properties(${target} PROPERTIES PREFIX "")
  vok_windows_crt(${target})
  if(NOT MINGW)
    return() # Microsoft's linker writes its own <target>.lib
  endif()

  set(implib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/${target}.lib)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${VOK_LLVM_DLLTOOL} -m i386:x86-64 -d ${def} -l ${implib}
    DEPENDS ${def}
    COMMENT "Import library ${target}.lib for Microsoft's linker")
  add_custom_target(${target}_msvc_implib ALL DEPENDS ${implib})
  install(FILES ${implib} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
endfunction()

# vok_windows_version(target description): the version resource Windows
# shows in the file's properties (file and product version, product name,
# description), from the project's version.
function(vok_windows_version target description)
  set(VOK_RC_NAME ${target})
  set(VOK_RC_DESCRIPTION "${description}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(VOK_RC_FILE ${target}.exe)
    set(VOK_RC_FILETYPE VFT_APP)
  else()
    set(VOK_RC_FILE ${target}.dll)
    set(VOK_RC_FILETYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
