# Logic targets hold no windows: they must never reach Qt's GUI modules, so
# that they build and test without a display and a widget include in them
# fails to compile. gabblet_check_logic_targets(target...) walks each
# target's link libraries, through our own targets, at configure time and
# stops the configuration with the path it took when one of them is reached.
set(GABBLET_GUI_MODULES Qt6::Widgets Qt6::Gui Qt6::Multimedia
                        Qt::Widgets Qt::Gui Qt::Multimedia)

function(gabblet_check_logic_targets)
    foreach(logic IN LISTS ARGN)
        set(queue ${logic})
        set(seen "")
        set(via_${logic}_${logic} ${logic})
        while(queue)
            list(POP_FRONT queue current)
            if(current IN_LIST seen)
                continue()
            endif()
            list(APPEND seen ${current})
            get_target_property(direct ${current} LINK_LIBRARIES)
            get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
            foreach(lib IN LISTS direct interface)
                if(NOT lib OR lib MATCHES "-NOTFOUND$")
                    continue()
                endif()
                # Private links of static libraries show as $<LINK_ONLY:...>.
                string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" lib "${lib}")
                if(lib IN_LIST GABBLET_GUI_MODULES)
                    message(FATAL_ERROR
                        "${logic} is a logic target and must not link ${lib} "
                        "(${via_${logic}_${current}} -> ${lib}). Windows belong in a ui/ "
                        "sub-target, desktop services in platform/desktop.")
                endif()
                if(TARGET ${lib} AND lib MATCHES "^gabblet_" AND NOT DEFINED via_${logic}_${lib})
                    set(via_${logic}_${lib} "${via_${logic}_${current}} -> ${lib}")
                    list(APPEND queue ${lib})
                endif()
            endforeach()
        endwhile()
    endforeach()
endfunction()
