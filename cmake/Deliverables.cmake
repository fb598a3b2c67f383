# The two deliverable libraries, linked from the same folder libraries. libtavimos.so
# adds the scripting-safe folder. Folders that do not exist yet are simply skipped.
include(GNUInstallDirs)
set(TAVIMO_LIBRARY_PARTS
    tavimo_api tavimo_viewer tavimo_filters tavimo_pdf tavimo_printing tavimo_core
    tavimo_resources tavimo_activex tavimo_inet tavimo_fonts tavimo_printer tavimo_gdiplus tavimo_win)

function(tavimo_deliverable name)
    cmake_parse_arguments(ARG "" "" "EXTRA" ${ARGN})
    set(parts)
    set(archives)
    foreach(part IN LISTS ARG_EXTRA TAVIMO_LIBRARY_PARTS)
        if(TARGET ${part})
            list(APPEND parts ${part})
            list(APPEND archives $<TARGET_FILE:${part}>)
        endif()
    endforeach()
    add_library(${name} SHARED ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    # Every object of the folder libraries goes in, not only what the (few) exported
    # entry points reach; the normal link after it brings their dependencies.
    target_link_libraries(${name} PRIVATE -Wl,--whole-archive ${archives} -Wl,--no-whole-archive ${parts})
    target_link_options(${name} PRIVATE -Wl,--no-undefined
                        -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/deliverables.map)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
                 ${PROJECT_SOURCE_DIR}/cmake/deliverables.map)
    set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 0)
    # A user of the library needs its public headers and nothing else.
    target_include_directories(${name} INTERFACE
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endfunction()

tavimo_deliverable(tavimo)
tavimo_deliverable(tavimos EXTRA tavimo_safe)
