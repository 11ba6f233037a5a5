# oculo_add_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest executable, registered with CTest as one test. Cross builds
# run it through the toolchain's emulator (Wine).
#
# A program that skipped a test exits with 77 (tests/TestMain.cpp). On Linux
# everything must run, so that is a failure; on Windows the Linux-only cases
# skip, and CTest reports the program as skipped (a failure still fails: the
# exit code is 77 only when nothing failed).
function(oculo_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} oculo_test_main)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(WIN32)
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
endfunction()
