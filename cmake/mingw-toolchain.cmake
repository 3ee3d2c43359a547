# The part of a mingw-w64 cross toolchain that does not depend on the target
# processor. The including file sets CVL_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# Prefer the win32 thread model: with it a static program needs no
# threading library, and this program starts no threads.
foreach(tool IN ITEMS gcc g++)
    if(EXISTS "/usr/bin/${CVL_MINGW_TRIPLE}-${tool}-win32")
        set(cvl_${tool} "/usr/bin/${CVL_MINGW_TRIPLE}-${tool}-win32")
    else()
        set(cvl_${tool} "${CVL_MINGW_TRIPLE}-${tool}")
    endif()
endforeach()
set(CMAKE_C_COMPILER "${cvl_gcc}")
set(CMAKE_CXX_COMPILER "${cvl_g++}")
set(CMAKE_RC_COMPILER "${CVL_MINGW_TRIPLE}-windres")
set(CMAKE_OBJDUMP "${CVL_MINGW_TRIPLE}-objdump" CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH "/usr/${CVL_MINGW_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
