# Sanitizer builds apply to every target of the tree.
if(KAVRIN_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(KAVRIN_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT KAVRIN_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KAVRIN_SANITIZE must be address, thread or empty")
endif()

# The environment of every test that runs a Qt application. The leak check of the address
# build leaves out the data of Qt's own helper threads (tests/qt-lsan.supp).
set(KAVRIN_QT_TEST_ENV "QT_QPA_PLATFORM=offscreen")
if(KAVRIN_SANITIZE STREQUAL "address")
    list(APPEND KAVRIN_QT_TEST_ENV "ASAN_OPTIONS=fast_unwind_on_malloc=0"
        "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/qt-lsan.supp")
endif()

if(KAVRIN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "the fuzz build needs clang (use the fuzz preset)")
    endif()
    # Libraries get coverage instrumentation; the fuzz targets link the libFuzzer driver.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
