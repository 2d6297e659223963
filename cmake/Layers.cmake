# Where binaries go, and checks that the product's layers only reach downward.

# The plug-in (and the test programs) land in bin/. The stand-ins play the vendor's files and
# the host program, so they get a folder of their own: nothing of them sits beside the plug-in.
set(KELVO_STANDINS_DIR ${CMAKE_BINARY_DIR}/standins)

# kelvo_standin_output(<target>...): builds the targets into the stand-ins' folder.
function(kelvo_standin_output)
    set_target_properties(${ARGN} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELVO_STANDINS_DIR}
                                             LIBRARY_OUTPUT_DIRECTORY ${KELVO_STANDINS_DIR})
endfunction()

# Targets `target` links, directly or through others, in `result`.
function(_kelvo_linked_targets target result)
    set(seen)
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        if(NOT TARGET ${current} OR current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        get_target_property(type ${current} TYPE)
        set(links)
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(direct ${current} LINK_LIBRARIES)
            if(direct)
                list(APPEND links ${direct})
            endif()
        endif()
        get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
        if(interface)
            list(APPEND links ${interface})
        endif()
        foreach(link IN LISTS links)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
            list(APPEND pending ${link})
        endforeach()
    endwhile()
    list(REMOVE_ITEM seen ${target})
    set(${result} ${seen} PARENT_SCOPE)
endfunction()

# kelvo_forbid_links(<target> <forbidden>...): the configuration fails when the target
# reaches one of the forbidden targets, or a target defined under standins/.
function(kelvo_forbid_links target)
    if(NOT TARGET ${target})
        return()
    endif()
    _kelvo_linked_targets(${target} linked)
    foreach(other IN LISTS linked)
        get_target_property(imported ${other} IMPORTED)
        set(folder "")
        if(NOT imported)
            get_target_property(folder ${other} SOURCE_DIR)
        endif()
        if(other IN_LIST ARGN OR folder MATCHES "^${CMAKE_SOURCE_DIR}/standins(/|$)")
            message(FATAL_ERROR "${target} must not link ${other}")
        endif()
    endforeach()
endfunction()
