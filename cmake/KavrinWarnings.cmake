# kavrin_warnings(target): the project's warning set on one target.
function(kavrin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
    if(KAVRIN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
