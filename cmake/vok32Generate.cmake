# vok32_generate(<target> LANGUAGE <c|cpp> SCHEMAS <file>... [OUTPUT_DIR <dir>]
#                [NAMESPACE <ns>])
#
# Runs `vok gen` at build time for each schema file (again whenever it
# changes), adds the generated sources to <target>, their folder to its
# include path, and links vok32::vok32x.  The tool is VOK32_VOK_EXECUTABLE
# when set (cross builds name the build machine's vok there), else the
# package's vok32::vok.  The generated files are named after the schema's
# "name" in lower case: Order gives order.vok.h and order.vok.c, or
# order.vok.hpp.
function(vok32_generate target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LANGUAGE;OUTPUT_DIR;NAMESPACE" "SCHEMAS")
  if(NOT arg_LANGUAGE MATCHES "^(c|cpp)$" OR NOT arg_SCHEMAS OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR
      "vok32_generate(<target> LANGUAGE <c|cpp> SCHEMAS <file>... [OUTPUT_DIR <dir>] [NAMESPACE <ns>])")
  endif()
  if(VOK32_VOK_EXECUTABLE)
    set(tool ${VOK32_VOK_EXECUTABLE})
  elseif(TARGET vok32::vok)
    set(tool $<TARGET_FILE:vok32::vok>)
  else()
    message(FATAL_ERROR "vok32_generate: no vok tool; set VOK32_VOK_EXECUTABLE")
  endif()
  if(NOT arg_OUTPUT_DIR)
    set(arg_OUTPUT_DIR ${CMAKE_CURRENT_BINARY_DIR}/vok32_generated)
  endif()
  set(namespace_option)
  if(arg_NAMESPACE)
    set(namespace_option --namespace ${arg_NAMESPACE})
  endif()
  foreach(schema IN LISTS arg_SCHEMAS)
    get_filename_component(schema ${schema} ABSOLUTE)
    # The output names come from the schema's name: read it now, and read it
    # again whenever the file changes.
    file(READ ${schema} text)
    string(JSON name ERROR_VARIABLE json_error GET "${text}" name)
    if(json_error)
      message(FATAL_ERROR "vok32_generate: ${schema}: ${json_error}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${schema})
    string(TOLOWER ${name} base)
    if(arg_LANGUAGE STREQUAL "c")
      set(outputs ${arg_OUTPUT_DIR}/${base}.vok.h ${arg_OUTPUT_DIR}/${base}.vok.c)
    else()
      set(outputs ${arg_OUTPUT_DIR}/${base}.vok.hpp)
    endif()
    # Schemas whose names differ only in case would write the same files.
    list(GET outputs 0 first_output)
    get_property(earlier GLOBAL PROPERTY "vok32_generate:${first_output}")
    if(earlier AND NOT earlier STREQUAL schema)
      message(FATAL_ERROR "vok32_generate: ${earlier} and ${schema} would both write "
        "${first_output} (files are named after the schema's name in lower case); "
        "rename one schema or give it an OUTPUT_DIR of its own")
    endif()
    set_property(GLOBAL PROPERTY "vok32_generate:${first_output}" ${schema})
    add_custom_command(OUTPUT ${outputs}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${arg_OUTPUT_DIR}
      COMMAND ${tool} gen ${arg_LANGUAGE} ${schema} -o ${arg_OUTPUT_DIR} ${namespace_option}
      DEPENDS ${schema} ${tool}
      COMMENT "vok gen ${arg_LANGUAGE} ${schema}"
      VERBATIM)
    target_sources(${target} PRIVATE ${outputs})
  endforeach()
  target_include_directories(${target} PUBLIC ${arg_OUTPUT_DIR})
  target_link_libraries(${target} PUBLIC vok32::vok32x)
endfunction()
