# kavrin_warnings(target): the project's warning set on one target.
# With KAVRIN_THREAD_SAFETY (the clang preset) Clang's lock analysis runs and its findings are
# errors.
function(kavrin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
    if(KAVRIN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KAVRIN_THREAD_SAFETY AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        target_compile_options(${target} PRIVATE -Wthread-safety -Werror=thread-safety)
    endif()
endfunction()
