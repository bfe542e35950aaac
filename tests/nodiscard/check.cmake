# cmake -DCXX=... -DSOURCE=... -DINCLUDES=dir:dir... -P check.cmake
# The checked program compiles; each way of dropping a status does not, and
# the compiler says why.
set(flags -std=c++17 -Wall -Wextra -Werror -fsyntax-only)
string(REPLACE ":" ";" INCLUDES "${INCLUDES}")
foreach(dir IN LISTS INCLUDES)
  list(APPEND flags -I${dir})
endforeach()
execute_process(COMMAND ${CXX} ${flags} ${SOURCE} RESULT_VARIABLE status ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the checked program does not compile:\n${out}")
endif()
foreach(dropped IGNORE_WRITE IGNORE_FINISH)
  execute_process(COMMAND ${CXX} ${flags} -D${dropped} ${SOURCE}
                  RESULT_VARIABLE status ERROR_VARIABLE out)
  if(status EQUAL 0 OR NOT out MATCHES "nodiscard")
    message(FATAL_ERROR "${dropped}: an ignored status compiled, or failed for another reason:\n${out}")
  endif()
endforeach()
