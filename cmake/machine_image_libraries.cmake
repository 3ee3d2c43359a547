# The simulated machine and the machine images, for the host build and the
# Windows build alike: cvlcapture.exe formats its image with the image formats
# alone, and cvlpreview.exe and cvlsetup-host run the host runner on all. Each
# program takes only the parts it calls from these static libraries.
# The tools reach the simulated machine through its facade and its setup
# interface only, so its parts and calls can change without them.
file(GLOB_RECURSE CVL_TOOL_FILES "${PROJECT_SOURCE_DIR}/tools/*.h" "${PROJECT_SOURCE_DIR}/tools/*.cpp")
foreach(tool_file ${CVL_TOOL_FILES})
    file(STRINGS "${tool_file}" inner_includes REGEX "^#include \"platform/sim/(parts|calls)/")
    if(inner_includes)
        file(RELATIVE_PATH shown "${PROJECT_SOURCE_DIR}" "${tool_file}")
        message(FATAL_ERROR "${shown} includes the simulated machine's inside (${inner_includes}); "
                            "reach it through simulated_platform.h or setup/")
    endif()
endforeach()

file(GLOB_RECURSE CVL_SIM_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/platform/sim/*.cpp")
add_library(cvl_sim STATIC ${CVL_SIM_SOURCES})
target_include_directories(cvl_sim PUBLIC "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(cvl_sim PUBLIC cvl_logic)

# The image's file formats take the machine's value types from its setup
# interface only, so cvlcapture.exe writes images without the simulator.
set(CVL_IMAGE_FORMAT_SOURCES)
foreach(format reg_file machine_image_text machine_image_settings machine_image_device_rows)
    list(APPEND CVL_IMAGE_FORMAT_SOURCES "${PROJECT_SOURCE_DIR}/tools/machine_image/${format}.cpp")
endforeach()
add_library(cvl_image_formats STATIC ${CVL_IMAGE_FORMAT_SOURCES})
target_include_directories(cvl_image_formats PUBLIC "${PROJECT_SOURCE_DIR}/tools"
    "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(cvl_image_formats PUBLIC cvl_logic)

file(GLOB CVL_MACHINE_IMAGE_SOURCES CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/tools/machine_image/*.cpp")
list(REMOVE_ITEM CVL_MACHINE_IMAGE_SOURCES ${CVL_IMAGE_FORMAT_SOURCES})
add_library(cvl_machine_image STATIC ${CVL_MACHINE_IMAGE_SOURCES})
target_link_libraries(cvl_machine_image PUBLIC cvl_image_formats cvl_sim)
if(NOT WIN32)
    # A fleet preview replays its machines on worker threads; the Windows
    # build starts them with CreateThread and needs no threading library.
    find_package(Threads REQUIRED)
    target_link_libraries(cvl_machine_image PUBLIC Threads::Threads)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 at -O3 reports an impossible overlap inside std::string's
    # concatenation (GCC bug 105329) in the file-system path code of the image
    # formats; the warning is wrong there, so it is off for these libraries only.
    target_compile_options(cvl_sim PRIVATE -Wno-restrict)
    target_compile_options(cvl_image_formats PRIVATE -Wno-restrict)
    target_compile_options(cvl_machine_image PRIVATE -Wno-restrict)
endif()
