# add_esfuerzo_test(<name> LABEL logic|draw|ui|cli SOURCES ... [LIBS ...])
# One QtTest executable per class or tightly related group; UI tests run offscreen.
function(add_esfuerzo_test name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test esfuerzo_warnings ${T_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        ESF_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
        ESF_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        ESF_CLI_PATH="$<TARGET_FILE:esfuerzo-cli>")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        LABELS "${T_LABEL}"
        TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
