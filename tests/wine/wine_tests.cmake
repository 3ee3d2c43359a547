# The Wine side of the tests of a Windows build: the platform probe, and the
# end-to-end scenarios registered with CTest. Wine runs only the 64-bit
# build here (Debian's wine64 has no 32-bit side).
file(GLOB CVL_PROBE_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/probe/*.cpp")
add_executable(cvl_platform_probe ${CVL_PROBE_SOURCES})
target_link_options(cvl_platform_probe PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvl_platform_probe PRIVATE cvl_win32 cvl_logic)

find_program(CVL_WINE wine)
find_package(Python3 COMPONENTS Interpreter)
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND CVL_WINE AND Python3_Interpreter_FOUND)
    add_test(NAME wine_end_to_end
        COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/run_wine_tests.py"
                --exe $<TARGET_FILE:cvlsetup> --probe $<TARGET_FILE:cvl_platform_probe>)
    set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()

# The layout check must refuse a program that lacks what cvlsetup.exe has:
# the probe is a console program without manifest or version block.
add_test(NAME pe_layout_refuses_console_program
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-pe.sh" ${cvl_pe_option}
            $<TARGET_FILE:cvl_platform_probe>)
set_tests_properties(pe_layout_refuses_console_program PROPERTIES WILL_FAIL TRUE)
