# The simulated machine and the machine images for a Windows build, made from
# the same sources as the host build's: cvlcapture.exe formats its image with
# them, and cvlpreview.exe runs the host runner on them. Each program takes
# only the parts it calls from these static libraries. Included by
# windows_executable.cmake.
file(GLOB_RECURSE CVL_SIM_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/platform/sim/*.cpp")
add_library(cvl_sim STATIC ${CVL_SIM_SOURCES})
target_include_directories(cvl_sim PUBLIC "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(cvl_sim PUBLIC cvl_logic)

file(GLOB CVL_MACHINE_IMAGE_SOURCES CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/tools/machine_image/*.cpp")
add_library(cvl_machine_image STATIC ${CVL_MACHINE_IMAGE_SOURCES})
target_include_directories(cvl_machine_image PUBLIC "${PROJECT_SOURCE_DIR}/tools")
target_link_libraries(cvl_machine_image PUBLIC cvl_sim)
# GCC 12 at -O3 reports an impossible overlap inside std::string's
# concatenation (GCC bug 105329) in the file-system path code of the image
# formats; the warning is wrong there, so it is off for these libraries only.
target_compile_options(cvl_sim PRIVATE -Wno-restrict)
target_compile_options(cvl_machine_image PRIVATE -Wno-restrict)
