# Helpers shared by every folder's CMakeLists.txt.
#
# tavimo_module(<name> [LIBS <targets...>])
#   One static library (position independent) per source folder, named tavimo_<name>,
#   made of every *.cpp in the calling folder. New files are picked up by the glob,
#   so adding a file never touches a shared CMakeLists.txt.
#
# tavimo_test_dir(<name> [LIBS <targets...>] [LABELS <labels...>])
#   One GoogleTest program per test folder from its *_test.cpp files (label "unit"
#   unless LABELS says otherwise). Files ending in _itest.cpp form a second program
#   labelled "integration".
#
# tavimo_add_test(<name> SOURCES <files...> [LIBS ...] LABELS <labels...>)
#   An explicit test program, for tests that need their own label (net, x11, pdf-validate).

include(GoogleTest OPTIONAL)

function(tavimo_module name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(tavimo_${name} STATIC ${sources})
    # include/ holds the public headers (<tavimo/...>), which the library shares with its users.
    target_include_directories(tavimo_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
    if(ARG_LIBS)
        target_link_libraries(tavimo_${name} PUBLIC ${ARG_LIBS})
    endif()
endfunction()

function(tavimo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_SOURCES)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tavimo_test_support GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    # Each variable is its own ENVIRONMENT value: a list in one value would be split at
    # its semicolons on the way into the discovered tests' properties.
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES LABELS "${ARG_LABELS}"
                   ENVIRONMENT "TAVIMO_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
                   ENVIRONMENT_MODIFICATION
                       "TAVIMO_BINARY_DIR=set:${PROJECT_BINARY_DIR}"
                   ENVIRONMENT_MODIFICATION
                       "TAVIMO_PLUGIN_PATH=set:${PROJECT_BINARY_DIR}/plugins")
endfunction()

function(tavimo_test_dir name)
    cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB integration_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_itest.cpp)
    tavimo_add_test(test_${name} SOURCES ${unit_sources} LIBS ${ARG_LIBS} LABELS ${ARG_LABELS})
    tavimo_add_test(itest_${name} SOURCES ${integration_sources} LIBS ${ARG_LIBS} LABELS integration)
endfunction()
