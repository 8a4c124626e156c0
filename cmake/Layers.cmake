# The libraries of the console in layers: each may link only the libraries
# listed after it, and through them what they link. A logic library that
# reaches up (settings including an engine header, say) would build, since
# every library shares the src/ include root, so the layers are checked twice:
# here, when CMake configures, against what each library links; and by the
# test "layers", against what each source file includes.
#
# Only the libraries listed in VO_GUI_LIBRARIES may link Qt's widgets. Those
# in VO_QTGUI_LIBRARIES may link QtGui, for what Qt keeps there without
# widgets (the undo framework), and nothing of ours above the logic.
set(VO_LAYERS
    "vo_protocol:"
    "vo_common:"
    "vo_common_widgets:vo_common"
    "vo_network:vo_common"
    "vo_config:vo_common,vo_network"
    "vo_config_forms:vo_config,vo_common_widgets"
    "vo_settings:vo_common"
    "vo_sections:vo_settings,vo_common"
    "vo_sections_widgets:vo_sections,vo_common_widgets"
    "vo_database:vo_settings,vo_common"
    "vo_undo:vo_database,vo_settings,vo_common"
    "vo_settingsfile:vo_database,vo_settings,vo_common"
    "vo_import:vo_database,vo_settings,vo_common"
    "vo_import_forms:vo_import,vo_common_widgets"
    "vo_engine:vo_common,vo_network,vo_protocol"
    "vo_wizards:vo_database,vo_sections,vo_settings,vo_network,vo_common"
    "vo_wizards_forms:vo_wizards,vo_import_forms,vo_sections_widgets,vo_sections,vo_common_widgets"
    "vo_ssh:vo_common,vo_protocol"
    "vo_enginehost:vo_engine,vo_ssh,vo_protocol,vo_network,vo_common"
    "vo_validation:vo_database,vo_network,vo_engine,vo_protocol"
    "vo_job:vo_engine,vo_validation,vo_database,vo_settingsfile"
    "vo_fleet:vo_validation,vo_engine,vo_database,vo_common"
    "vo_logview:vo_common"
    "vo_cli:vo_ssh,vo_common,vo_database,vo_settingsfile,vo_validation,vo_engine,vo_job,vo_config,vo_network,vo_import,vo_wizards,vo_sections,vo_settings"
    "vo_shell:vo_common,vo_database,vo_settingsfile,vo_network,vo_sections,vo_wizards"
    "vo_shell_forms:vo_shell,vo_undo,vo_database,vo_common_widgets,vo_engine,vo_validation,vo_job,vo_logview,vo_config_forms,vo_import,vo_import_forms,vo_sections_widgets,vo_wizards_forms,vo_fleet"
    "vo:vo_cli"
    "varno-osk-engine:vo_enginehost"
    "vo_clientcore:vo_protocol"
    "varno-osk-client:vo_clientcore,vo_protocol"
    "varno-osk:vo_shell_forms")
set(VO_QTGUI_LIBRARIES vo_undo)
set(VO_GUI_LIBRARIES vo_common_widgets vo_config_forms vo_import_forms vo_sections_widgets vo_wizards_forms vo_shell_forms varno-osk)

# Fails the configuration when a library links one of ours that its layer
# does not allow, or a logic library links Qt's widgets; writes, for the
# include check, which source and header belongs to which library and what
# each library may reach.
function(vo_check_layers manifest)
    set(lines "")
    foreach(entry IN LISTS VO_LAYERS)
        string(REPLACE ":" ";" parts "${entry}")
        list(GET parts 0 target)
        list(LENGTH parts count)
        set(allowed "")
        if(count GREATER 1)
            list(GET parts 1 allowed)
            string(REPLACE "," ";" allowed "${allowed}")
        endif()
        if(NOT TARGET ${target})
            message(FATAL_ERROR "cmake/Layers.cmake names ${target}, which the build does not define")
        endif()
        set(gui FALSE)
        if(target IN_LIST VO_GUI_LIBRARIES)
            set(gui TRUE)
        endif()
        foreach(dependency IN LISTS allowed)
            if(NOT gui AND dependency IN_LIST VO_GUI_LIBRARIES)
                message(FATAL_ERROR "cmake/Layers.cmake lets the logic library ${target} use ${dependency}, a widget library")
            endif()
        endforeach()

        get_target_property(linked ${target} LINK_LIBRARIES)
        foreach(library IN LISTS linked)
            if(library MATCHES "^vo_" AND NOT library MATCHES "^vo_(compile_options|strict_warnings)$" AND NOT library IN_LIST allowed)
                message(FATAL_ERROR "${target} links ${library}, which its layer does not allow (cmake/Layers.cmake)")
            endif()
            if(NOT gui AND library MATCHES "^Qt6::(Widgets|Gui)$"
               AND NOT (library STREQUAL "Qt6::Gui" AND target IN_LIST VO_QTGUI_LIBRARIES))
                message(FATAL_ERROR "${target} is a logic library and must not link ${library}")
            endif()
        endforeach()

        list(JOIN allowed "," joined)
        string(APPEND lines "layer ${target} ${joined}\n")
        # One folder, one library: a library's sources are the files of its
        # own folder, and no other library lives there.
        get_target_property(folder ${target} SOURCE_DIR)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "STATIC_LIBRARY")
            if(DEFINED library_in_${folder})
                message(FATAL_ERROR "${target} and ${library_in_${folder}} share the folder ${folder}: give each library its own")
            endif()
            set(library_in_${folder} ${target})
        endif()
        get_target_property(sources ${target} SOURCES)
        foreach(source IN LISTS sources)
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${folder}" NORMALIZE OUTPUT_VARIABLE path)
            if(path MATCHES "^${PROJECT_SOURCE_DIR}/src/.*\\.(h|cpp)$" AND EXISTS "${path}")
                cmake_path(GET path PARENT_PATH source_folder)
                if(type STREQUAL "STATIC_LIBRARY" AND NOT source_folder STREQUAL folder)
                    message(FATAL_ERROR "${target} takes ${path} from outside its folder ${folder}")
                endif()
                string(APPEND lines "file ${target} ${path}\n")
            endif()
        endforeach()
    endforeach()
    file(WRITE "${manifest}" "${lines}")
endfunction()
