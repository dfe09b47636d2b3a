# Derived items and the linear correction.
vorlan_test(derived_logic_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/derived_test.cpp
  LIBS vorlan_workstation vorlan_testsupport)
vorlan_test(linejust_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/linejust_test.cpp
  LIBS vorlan_testui)
