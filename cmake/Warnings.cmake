# vok_warnings(target): the project's warning set, as errors when VOK_WERROR.
function(vok_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VOK_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             $<$<BOOL:${VOK_WERROR}>:-Werror>)
  endif()
endfunction()
