# cvlpreview.exe: the host runner (tools/host_runner, every source there)
# built for Windows, a static console program with an application manifest
# that runs it as whoever starts it and a version block. It runs cvlsetup's
# logic on the simulated machine loaded from a machine image, as cvlsetup-host
# does on Linux, and reads or writes nothing of the machine it runs on but
# the image folders it is given: it needs no platform layer, and imports
# only kernel32 and the C runtime. Included by windows_executable.cmake, which
# sets the version variables.
set(CVL_PREVIEW_DIR "${PROJECT_SOURCE_DIR}/tools/host_runner")

file(GLOB CVL_PREVIEW_SOURCES CONFIGURE_DEPENDS "${CVL_PREVIEW_DIR}/*.cpp")

set(CVL_PREVIEW_MANIFEST_PATH "${CMAKE_CURRENT_BINARY_DIR}/cvlpreview.exe.manifest")
configure_file("${CVL_PREVIEW_DIR}/cvlpreview.exe.manifest.in" "${CVL_PREVIEW_MANIFEST_PATH}" @ONLY)
configure_file("${CVL_PREVIEW_DIR}/cvlpreview.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/cvlpreview.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/cvlpreview.rc" PROPERTIES
    OBJECT_DEPENDS "${CVL_PREVIEW_MANIFEST_PATH}")

add_executable(cvlpreview ${CVL_PREVIEW_SOURCES} "${CMAKE_CURRENT_BINARY_DIR}/cvlpreview.rc")
target_compile_options(cvlpreview PRIVATE -Wno-restrict)
target_link_options(cvlpreview PRIVATE ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvlpreview PRIVATE cvl_machine_image cvl_logic)
