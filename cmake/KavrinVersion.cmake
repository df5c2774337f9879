# The project's version identity, in one place. Every executable, shared library and module
# library of the tree carries it in an ELF section ".kavrin_version" as key=value lines, which
# platform::CFileVersionInfo reads back from any file.
#
# kavrin_add_version_resources(dir): call once at the end of the top-level CMakeLists.txt; it
# gives every such target below `dir` its own generated source that defines the section.

set(KAVRIN_BUILD_NUMBER 0 CACHE STRING "Build number: the fourth part of every file version")
if(NOT KAVRIN_BUILD_NUMBER MATCHES "^[0-9]+$" OR KAVRIN_BUILD_NUMBER GREATER 65535)
    message(FATAL_ERROR "KAVRIN_BUILD_NUMBER must be a number from 0 to 65535")
endif()

set(KAVRIN_COMPANY_NAME "Hadrell Optics")
set(KAVRIN_LEGAL_COPYRIGHT "Copyright (C) 2026 Hadrell Optics")
set(KAVRIN_PRODUCT_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(KAVRIN_FILE_VERSION "${KAVRIN_PRODUCT_VERSION}.${KAVRIN_BUILD_NUMBER}")
# US English, Unicode code page: language in the high 16 bits, code page in the low 16 bits.
set(KAVRIN_TRANSLATION "040904B0")

# FileDescription by target name; a target that is not listed here describes itself by its name.
set(KAVRIN_DESCRIPTION_kavrindemo "KavrinDemo")
set(KAVRIN_DESCRIPTION_kavrin "KavrinDemo command-line tool")
set(KAVRIN_DESCRIPTION_LumoInst "Lumo image processing library")
set(KAVRIN_DESCRIPTION_LumoDialog "Lumo image processing dialogs")
set(KAVRIN_DESCRIPTION_kavrin_pemdebug "Pem debug log library")
set(KAVRIN_DESCRIPTION_fglib5 "Simulated frame grabber")

set(KAVRIN_VERSION_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/KavrinVersion.cpp.in")

# The text as a C string literal's body.
function(kavrin_c_string text out_var)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# kavrin_add_version_resource(target): the section source of one target, generated into
# build/<preset>/version/<target>.cpp and added to the target.
function(kavrin_add_version_resource target)
    set(description "${target}")
    if(DEFINED KAVRIN_DESCRIPTION_${target})
        set(description "${KAVRIN_DESCRIPTION_${target}}")
    endif()
    kavrin_c_string("${KAVRIN_COMPANY_NAME}" VERSION_COMPANY_NAME)
    kavrin_c_string("${description}" VERSION_FILE_DESCRIPTION)
    kavrin_c_string("${KAVRIN_LEGAL_COPYRIGHT}" VERSION_LEGAL_COPYRIGHT)
    kavrin_c_string("${KAVRIN_FILE_VERSION}" VERSION_FILE_VERSION)
    kavrin_c_string("${KAVRIN_PRODUCT_VERSION}" VERSION_PRODUCT_VERSION)
    kavrin_c_string("${KAVRIN_TRANSLATION}" VERSION_TRANSLATION)
    set(VERSION_TARGET "${target}")
    set(source "${CMAKE_BINARY_DIR}/version/${target}.cpp")
    configure_file("${KAVRIN_VERSION_TEMPLATE}" "${source}" @ONLY)
    target_sources(${target} PRIVATE "${source}")
endfunction()

# kavrin_add_version_resources(dir): every executable, shared library and module library
# defined in `dir` and the folders below it gets its version resource.
function(kavrin_add_version_resources dir)
    get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
            kavrin_add_version_resource(${target})
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    foreach(subdirectory ${subdirectories})
        kavrin_add_version_resources("${subdirectory}")
    endforeach()
endfunction()
