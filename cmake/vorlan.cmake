# vorlan_logic(NAME src... [DEPS lib...]): a static logic library of one
# subsystem, linked into vorlan_core. No QtWidgets here.
function(vorlan_logic name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC Qt6::Core Qt6::Gui Qt6::Sql ${A_DEPS})
  set_property(GLOBAL APPEND PROPERTY VORLAN_LOGIC_LIBS ${name})
endfunction()

# vorlan_ui_sources(src...): window files of this folder, compiled into vorlan_ui.
function(vorlan_ui_sources)
  foreach(f ${ARGN})
    set_property(GLOBAL APPEND PROPERTY VORLAN_UI_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

# vorlan_test(NAME SOURCES src... LIBS lib... [TIMEOUT s]): one GoogleTest program
# (with a QApplication main), one CTest entry. Add vorlan_testsupport to LIBS
# for a fresh database per test.
function(vorlan_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} vorlan_testmain GTest::gtest Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VORLAN_SOURCE_DIR=${CMAKE_SOURCE_DIR};VORLAN_BINARY_DIR=${CMAKE_BINARY_DIR};VORLAN_TEST_OUT=${CMAKE_BINARY_DIR}/test-output"
    TIMEOUT ${A_TIMEOUT})
endfunction()
