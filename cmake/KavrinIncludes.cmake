# kavrin_include(target PUBLIC|PRIVATE|INTERFACE path...): lets `target` (and, for PUBLIC and
# INTERFACE, whatever links it) include the headers of each path by its name from the
# repository root ("platform/Event.h"). A path is a folder or a single header.
#
# Each path is reached through its own small include root in the build tree that holds only
# a link to that path, so a folder sees only the headers of the targets it links: including
# "processing/..." from a target that does not link kavrin_processing fails to compile.
function(kavrin_include target scope)
    foreach(path ${ARGN})
        string(REPLACE "/" "_" root_name "${path}")
        set(root "${CMAKE_BINARY_DIR}/include/${root_name}")
        set(link "${root}/${path}")
        if(NOT EXISTS "${link}")
            get_filename_component(parent "${link}" DIRECTORY)
            file(MAKE_DIRECTORY "${parent}")
            file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${path}" "${link}" SYMBOLIC)
        endif()
        target_include_directories(${target} ${scope} "${root}")
    endforeach()
endfunction()
