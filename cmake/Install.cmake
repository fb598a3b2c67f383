# What `cmake --install` lays out under the prefix:
#   lib/libtavimo.so.0, lib/libtavimos.so.0 (and their development links)
#   lib/tavimo/plugins/libkelvra.so, libmovrin.so   the plug-ins, found beside the libraries
#   include/tavimo/                                 the public headers
#   lib/cmake/Tavimo/                               find_package(Tavimo): Tavimo::tavimo(s)
#   lib/pkgconfig/tavimo.pc, tavimos.pc
#   bin/tavimo-view
# "lib" is CMAKE_INSTALL_LIBDIR (lib/<multiarch> under /usr on Debian).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TAVIMO_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tavimo/plugins)

foreach(lib tavimo tavimos)
    if(TARGET ${lib})
        # The public headers are C++17.
        target_compile_features(${lib} INTERFACE cxx_std_17)
        install(TARGETS ${lib} EXPORT TavimoTargets
                LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    endif()
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tavimo
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

foreach(plugin kelvra movrin)
    if(TARGET ${plugin})
        install(TARGETS ${plugin} LIBRARY DESTINATION ${TAVIMO_PLUGIN_INSTALL_DIR})
    endif()
endforeach()

if(TARGET tavimo-view)
    install(TARGETS tavimo-view RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The CMake package: relocatable, it finds the libraries relative to its own folder.
set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tavimo)
install(EXPORT TavimoTargets NAMESPACE Tavimo:: DESTINATION ${config_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TavimoConfig.cmake.in
    ${PROJECT_BINARY_DIR}/TavimoConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TavimoConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TavimoConfig.cmake
              ${PROJECT_BINARY_DIR}/TavimoConfigVersion.cmake
        DESTINATION ${config_dir})

# pkg-config files, relocatable too: the prefix is found from the file's own folder.
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
foreach(lib tavimo tavimos)
    set(TAVIMO_PC_LIBRARY ${lib})
    if(lib STREQUAL "tavimos")
        set(TAVIMO_PC_DESCRIPTION "Tavimo, scripting-safe build (adds cAutoDeskew)")
    else()
        set(TAVIMO_PC_DESCRIPTION "Tavimo image-viewing component library")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/tavimo.pc.in ${PROJECT_BINARY_DIR}/${lib}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${lib}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The plug-in lookup (platform/win/plugin_library.cpp) knows the installed layout: the
# plug-ins in tavimo/plugins beside the libraries, and for a program in bin/ this path.
file(RELATIVE_PATH bin_to_plugins ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/tavimo/plugins)
set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/win/plugin_library.cpp
    TARGET_DIRECTORY tavimo_win
    PROPERTIES COMPILE_DEFINITIONS TAVIMO_PLUGIN_DIR_FROM_BIN="${bin_to_plugins}")
