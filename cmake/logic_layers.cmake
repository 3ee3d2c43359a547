# The layers of the logic, lowest first. Each row: the layer's folder under
# src/, then the folders its files may include besides its own. "platform"
# is the Platform interface (platform/*.h); the layers never reach its
# implementations. docs/architecture.md says the same in words.
set(CVL_LAYER_ROWS
    "common"
    "family|common"
    "system|common|platform"
    "log|common|system|platform"
    "run|common|log|platform"
    "options|common|family"
    "state|common|family|system|platform"
    "device|common|family|system|log|run|platform"
    "install|common|family|system|log|run|options|state|device|platform"
    "uninstall|common|family|system|log|run|options|state|device|platform"
    "app|common|family|system|log|run|options|state|device|install|uninstall|platform")

# A folder of src/ outside this table would be compiled against no view and
# so escape the rule; every folder is a layer or one of the places around
# the logic.
set(CVL_OUTSIDE_THE_LAYERS platform entry)
file(GLOB src_entries RELATIVE "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/src/*")
foreach(entry ${src_entries})
    if(NOT IS_DIRECTORY "${PROJECT_SOURCE_DIR}/src/${entry}" OR entry IN_LIST CVL_OUTSIDE_THE_LAYERS)
        continue()
    endif()
    set(listed FALSE)
    foreach(row ${CVL_LAYER_ROWS})
        string(REGEX MATCH "^[^|]+" layer "${row}")
        if(layer STREQUAL entry)
            set(listed TRUE)
        endif()
    endforeach()
    if(NOT listed)
        message(FATAL_ERROR "src/${entry}/ is not in the layer table of cmake/logic_layers.cmake: "
                            "add its row, with the folders it may include")
    endif()
endforeach()

set(CVL_LOGIC_LIBRARIES "")
add_library(cvl_logic INTERFACE)
target_include_directories(cvl_logic INTERFACE "${PROJECT_SOURCE_DIR}/src")

foreach(row ${CVL_LAYER_ROWS})
    string(REPLACE "|" ";" folders "${row}")
    list(GET folders 0 layer)
    # The layer's view of src/: links to its own folder and the ones below.
    set(view "${CMAKE_CURRENT_BINARY_DIR}/layer_views/${layer}")
    file(REMOVE_RECURSE "${view}")
    file(MAKE_DIRECTORY "${view}")
    foreach(folder ${folders})
        if(folder STREQUAL "platform")
            # The interface's own files only, not the folders of its
            # implementations.
            file(MAKE_DIRECTORY "${view}/platform")
            file(GLOB interface_files "${PROJECT_SOURCE_DIR}/src/platform/*.h"
                 "${PROJECT_SOURCE_DIR}/src/platform/*.def")
            foreach(file ${interface_files})
                get_filename_component(name "${file}" NAME)
                file(CREATE_LINK "${file}" "${view}/platform/${name}" SYMBOLIC)
            endforeach()
        else()
            file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${view}/${folder}" SYMBOLIC)
        endif()
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp")
    if(NOT sources)
        continue()  # headers only: checked where the layers above include them
    endif()
    add_library(cvl_${layer} STATIC ${sources})
    # Private: a layer's view never reaches the layers that link it.
    target_include_directories(cvl_${layer} PRIVATE "${view}")
    foreach(folder ${folders})
        if(NOT folder STREQUAL layer AND TARGET cvl_${folder})
            target_link_libraries(cvl_${layer} PUBLIC cvl_${folder})
        endif()
    endforeach()
    list(APPEND CVL_LOGIC_LIBRARIES cvl_${layer})
    target_link_libraries(cvl_logic INTERFACE cvl_${layer})
endforeach()
