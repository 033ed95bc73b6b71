# jdsm_add_test(<name> LABEL <label> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest binary and registers each of its tests with ctest under the label.
function(jdsm_add_test name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "JDSM_CORPUS_DIR=${JDSM_CORPUS_DIR}")
endfunction()

# Shared test data (public JSON files, the code page 936 mapping table) beside the project.
set(JDSM_CORPUS_DIR "${CMAKE_SOURCE_DIR}/../shared/corpus" CACHE PATH "Test and benchmark corpus")
