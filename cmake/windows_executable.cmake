# cvlsetup.exe: a static, GUI-subsystem program with an application manifest
# and a version block, cross-built with mingw-w64, and beside it the console
# programs cvlcapture.exe and cvlpreview.exe. Included by the top-level list
# when the target is Windows.
enable_language(RC)

set(CVL_WIN32_DIR "${PROJECT_SOURCE_DIR}/src/platform/win32")

# The real platform layer, which other Windows programs of the tree (the
# contract test program) run too. The entry point is above app/, in
# src/entry/.
file(GLOB CVL_WIN32_SOURCES CONFIGURE_DEPENDS "${CVL_WIN32_DIR}/*.cpp")
add_library(cvl_win32 STATIC ${CVL_WIN32_SOURCES})
# It includes nothing of the logic: its own files see a view of src/ that
# holds platform/ alone (as the layers' views in logic_layers.cmake), and the
# programs that link it see the whole of src/.
set(CVL_WIN32_VIEW "${CMAKE_CURRENT_BINARY_DIR}/layer_views/win32")
file(REMOVE_RECURSE "${CVL_WIN32_VIEW}")
file(MAKE_DIRECTORY "${CVL_WIN32_VIEW}")
file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/platform" "${CVL_WIN32_VIEW}/platform" SYMBOLIC)
target_include_directories(cvl_win32 PRIVATE "${CVL_WIN32_VIEW}"
    INTERFACE "${PROJECT_SOURCE_DIR}/src")
target_compile_definitions(cvl_win32 PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
# Only the libraries Windows always takes from the system folder are
# imported; setupapi, cfgmgr32 and newdev are bound at run time
# (library_binding.h).
target_link_libraries(cvl_win32 PUBLIC advapi32 user32 kernel32)

# Everything the program needs comes from system DLLs.
set(CVL_STATIC_LINK_OPTIONS -static -static-libgcc -static-libstdc++)

# Resources: the manifest and the version block, numbered from the project
# version.
foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        set(cvl_version_${part} 0)
    else()
        set(cvl_version_${part} "${PROJECT_VERSION_${part}}")
    endif()
endforeach()
set(CVL_FILE_VERSION_DOTTED
    "${cvl_version_MAJOR}.${cvl_version_MINOR}.${cvl_version_PATCH}.${cvl_version_TWEAK}")
string(REPLACE "." "," CVL_FILE_VERSION_COMMAS "${CVL_FILE_VERSION_DOTTED}")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CVL_MANIFEST_ARCHITECTURE amd64)
else()
    set(CVL_MANIFEST_ARCHITECTURE x86)
endif()
set(CVL_MANIFEST_PATH "${CMAKE_CURRENT_BINARY_DIR}/cvlsetup.exe.manifest")
configure_file("${CVL_WIN32_DIR}/cvlsetup.exe.manifest.in" "${CVL_MANIFEST_PATH}" @ONLY)
configure_file("${CVL_WIN32_DIR}/cvlsetup.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/cvlsetup.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/cvlsetup.rc" PROPERTIES
    OBJECT_DEPENDS "${CVL_MANIFEST_PATH}")

add_executable(cvlsetup WIN32 "${PROJECT_SOURCE_DIR}/src/entry/win_main.cpp"
    "${CMAKE_CURRENT_BINARY_DIR}/cvlsetup.rc")
# The ANSI start-up (WinMain), which Windows 95 runs; the 32-bit program
# tells the loader it needs Windows 4.0 (95 and NT 4). The 64-bit loader
# takes nothing older than 5.2, the first 64-bit Windows, which is also the
# linker's default there.
target_link_options(cvlsetup PRIVATE ${CVL_STATIC_LINK_OPTIONS})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(cvlsetup PRIVATE -Wl,--major-subsystem-version,4,--minor-subsystem-version,0
        -Wl,--major-os-version,4,--minor-os-version,0)
endif()
target_link_libraries(cvlsetup PRIVATE cvl_win32 cvl_logic)

include("${PROJECT_SOURCE_DIR}/cmake/machine_image_libraries.cmake")
include("${PROJECT_SOURCE_DIR}/cmake/capture_executable.cmake")
include("${PROJECT_SOURCE_DIR}/cmake/preview_executable.cmake")

# Checks of the built program: its PE layout, and on 64-bit targets the
# end-to-end scenarios under Wine.
enable_testing()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(cvl_pe_option --win64)
else()
    set(cvl_pe_option --win32)
endif()
add_test(NAME pe_layout
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-pe.sh" ${cvl_pe_option} $<TARGET_FILE:cvlsetup>)

include("${PROJECT_SOURCE_DIR}/tests/wine/wine_tests.cmake" OPTIONAL)
