# libFuzzer targets, one per tests/fuzz/*_fuzz.cpp, built only with clang and
# -DCVL_FUZZ=ON (the `fuzz` preset; scripts/fuzz.sh builds and runs them). The logic and the simulated machine are instrumented too, so
# that the fuzzer sees the coverage of the code under test.
option(CVL_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(CVL_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(CVL_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
    foreach(library ${CVL_LOGIC_LIBRARIES} cvl_sim cvl_image_formats cvl_machine_image)
        target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${CVL_FUZZ_SANITIZERS})
        target_link_options(${library} INTERFACE ${CVL_FUZZ_SANITIZERS})
    endforeach()

    file(GLOB CVL_FUZZ_SOURCES CONFIGURE_DEPENDS tests/fuzz/*_fuzz.cpp)
    # `cmake --build --preset fuzz` builds these and nothing else.
    add_custom_target(fuzz_targets)
    foreach(source ${CVL_FUZZ_SOURCES})
        get_filename_component(target ${source} NAME_WE)
        add_executable(${target} ${source})
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer ${CVL_FUZZ_SANITIZERS})
        target_link_options(${target} PRIVATE -fsanitize=fuzzer ${CVL_FUZZ_SANITIZERS})
        target_link_libraries(${target} PRIVATE cvl_machine_image cvl_sim cvl_logic)
        add_dependencies(fuzz_targets ${target})
    endforeach()
elseif(CVL_FUZZ)
    message(WARNING "CVL_FUZZ needs clang; no fuzz targets are built")
endif()
