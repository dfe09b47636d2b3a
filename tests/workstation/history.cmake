# History search, reprint and workload: logic against SQLite, then the page
# and the workload window on the main window offscreen.
vorlan_test(history_logic_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_test.cpp
  LIBS vorlan_workstation vorlan_testsupport)

vorlan_test(history_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_window_test.cpp ${CMAKE_SOURCE_DIR}/tests/graphics/samplerow.cpp
  LIBS vorlan_testui vorlan_reports_testtools)
target_include_directories(history_window_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/graphics ${CMAKE_SOURCE_DIR}/tests/reports)
