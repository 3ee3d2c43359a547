# cvlcapture.exe: a static console program that writes a machine image of
# the machine it runs on. It runs the capture through the same Win32 platform
# layer as cvlsetup.exe and formats the image with the host runner's own
# image formats (machine_image_libraries.cmake), without the simulated
# machine, so an image it writes is one the host runner reads. Included by windows_executable.cmake, which sets the version
# variables.
set(CVL_CAPTURE_DIR "${PROJECT_SOURCE_DIR}/tools/capture")

file(GLOB CVL_CAPTURE_SOURCES CONFIGURE_DEPENDS "${CVL_CAPTURE_DIR}/*.cpp")
list(REMOVE_ITEM CVL_CAPTURE_SOURCES "${CVL_CAPTURE_DIR}/capture_main.cpp")
add_library(cvl_capture STATIC ${CVL_CAPTURE_SOURCES})
target_link_libraries(cvl_capture PUBLIC cvl_image_formats)
target_compile_options(cvl_capture PRIVATE -Wno-restrict)

set(CVL_CAPTURE_MANIFEST_PATH "${CMAKE_CURRENT_BINARY_DIR}/cvlcapture.exe.manifest")
configure_file("${CVL_CAPTURE_DIR}/cvlcapture.exe.manifest.in" "${CVL_CAPTURE_MANIFEST_PATH}" @ONLY)
configure_file("${CVL_CAPTURE_DIR}/cvlcapture.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/cvlcapture.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/cvlcapture.rc" PROPERTIES
    OBJECT_DEPENDS "${CVL_CAPTURE_MANIFEST_PATH}")

add_executable(cvlcapture "${CVL_CAPTURE_DIR}/capture_main.cpp"
    "${CMAKE_CURRENT_BINARY_DIR}/cvlcapture.rc")
target_compile_options(cvlcapture PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
target_link_options(cvlcapture PRIVATE -municode ${CVL_STATIC_LINK_OPTIONS})
target_link_libraries(cvlcapture PRIVATE cvl_capture cvl_win32 cvl_logic)
