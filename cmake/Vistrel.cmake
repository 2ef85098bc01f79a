# vistrel_add_test(name [QT | GUI] SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest executable, its cases discovered by CTest; widget tests (QT) get one
# QApplication for the run, engine tests (GUI) one QGuiApplication; both run offscreen.
function(vistrel_add_test name)
    cmake_parse_arguments(ARG "QT;GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE vistrel_qt_test_environment)
    elseif(ARG_GUI)
        target_link_libraries(${name} PRIVATE vistrel_gui_test_environment)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    gtest_discover_tests(${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()
