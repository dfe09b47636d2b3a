# Batch printing, the batch page builders and the stub list.
vorlan_test(batch_print_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_print_test.cpp
  LIBS vorlan_testui vorlan_reports_testtools)
