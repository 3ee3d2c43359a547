# The Wine side of the tests of a Windows build: the contract cases of the
# platform layer, and the end-to-end scenarios registered with CTest. Each
# build runs its own program's scenarios: the 64-bit one in a 64-bit prefix,
# the 32-bit one in a 32-bit prefix (skipped where wine32 is not installed).

# GoogleTest for the target, built from the sources Debian's googletest
# package ships. Its own code is not held to our warning level.
set(CVL_GOOGLETEST_DIR "/usr/src/googletest/googletest" CACHE PATH "GoogleTest sources")
add_library(cvl_gtest STATIC "${CVL_GOOGLETEST_DIR}/src/gtest-all.cc")
# Our port header must come before GoogleTest's own (see gtest_port/).
target_include_directories(cvl_gtest PUBLIC "${CMAKE_CURRENT_LIST_DIR}/gtest_port")
target_include_directories(cvl_gtest SYSTEM PUBLIC "${CVL_GOOGLETEST_DIR}/include")
target_include_directories(cvl_gtest PRIVATE "${CVL_GOOGLETEST_DIR}")
target_compile_options(cvl_gtest PRIVATE -w)

# The contract cases shared with the host build, run against the real
# platform layer. It is also the console program without manifest that the
# layout check must refuse.
file(GLOB CVL_CONTRACT_SOURCES CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/tests/platform/contract/*_contract_test.cpp")
file(GLOB CVL_CONTRACT_WIN32_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/contract/*.cpp")
add_executable(cvl_platform_contract_tests ${CVL_CONTRACT_SOURCES} ${CVL_CONTRACT_WIN32_SOURCES}
    "${PROJECT_SOURCE_DIR}/tests/platform/contract/contract_machine.cpp")
target_include_directories(cvl_platform_contract_tests PRIVATE
    "${PROJECT_SOURCE_DIR}/tests/platform/contract")
target_link_options(cvl_platform_contract_tests PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvl_platform_contract_tests PRIVATE cvl_gtest cvl_win32 cvl_logic)

# The test machine's cfgmgr32.dll: node status per device and rescan calls
# that succeed, put into the prefix's system folder by the scenarios that
# need them.
file(GLOB CVL_TEST_CFGMGR32_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/cfgmgr32/*.cpp")
add_library(cvl_test_cfgmgr32 SHARED ${CVL_TEST_CFGMGR32_SOURCES})
set_target_properties(cvl_test_cfgmgr32 PROPERTIES OUTPUT_NAME cfgmgr32 PREFIX "")
target_compile_definitions(cvl_test_cfgmgr32 PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_link_options(cvl_test_cfgmgr32 PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvl_test_cfgmgr32 PRIVATE setupapi advapi32 kernel32)

# The test machine's newdev.dll: driver updates recorded, handed to Wine only
# for the devices a scenario made, "no such device" for every other id.
add_library(cvl_test_newdev SHARED "${CMAKE_CURRENT_LIST_DIR}/newdev/newdev_exports.cpp")
set_target_properties(cvl_test_newdev PROPERTIES OUTPUT_NAME newdev PREFIX "")
target_compile_definitions(cvl_test_newdev PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_link_options(cvl_test_newdev PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvl_test_newdev PRIVATE advapi32 kernel32)

# A DLL that only leaves a mark where it is mapped, planted under the names of
# the libraries the program loads; in the system folder in place of
# newdev.dll it is a library that lacks the program's function.
add_library(cvl_test_planted SHARED "${CMAKE_CURRENT_LIST_DIR}/planted/planted_dll.cpp")
set_target_properties(cvl_test_planted PROPERTIES OUTPUT_NAME planted PREFIX "")
target_compile_definitions(cvl_test_planted PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_link_options(cvl_test_planted PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvl_test_planted PRIVATE kernel32)

# 32-bit stdcall exports carry an "@bytes" suffix that the program's imports
# do not: export the plain names, as the system DLLs do.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(cvl_test_cfgmgr32 PRIVATE -Wl,--kill-at)
    target_link_options(cvl_test_newdev PRIVATE -Wl,--kill-at)
endif()

find_program(CVL_WINE wine)
find_package(Python3 COMPONENTS Interpreter)
if(CVL_WINE AND Python3_Interpreter_FOUND)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        add_test(NAME wine_end_to_end
            COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/run_wine_tests.py" --bits 64
                    --exe $<TARGET_FILE:cvlsetup>
                    --contract-tests $<TARGET_FILE:cvl_platform_contract_tests>
                    --capture $<TARGET_FILE:cvlcapture>
                    --preview $<TARGET_FILE:cvlpreview>
                    --cfgmgr32 $<TARGET_FILE:cvl_test_cfgmgr32>
                    --newdev $<TARGET_FILE:cvl_test_newdev>
                    --planted $<TARGET_FILE:cvl_test_planted>)
    else()
        # The other programs and test DLLs are built beside cvlsetup.exe.
        add_test(NAME wine_end_to_end
            COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/run_wine_tests.py" --bits 32
                    --exe32 $<TARGET_FILE:cvlsetup>)
    endif()
    set_tests_properties(wine_end_to_end PROPERTIES TIMEOUT 1200 SKIP_RETURN_CODE 77)
endif()

# The layout check must refuse a program that lacks what cvlsetup.exe has:
# the contract test program is a console program without manifest or
# version block.
add_test(NAME pe_layout_refuses_console_program
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-pe.sh" ${cvl_pe_option}
            $<TARGET_FILE:cvl_platform_contract_tests>)
set_tests_properties(pe_layout_refuses_console_program PROPERTIES WILL_FAIL TRUE)
