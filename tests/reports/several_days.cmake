# The day tables holding several days: printing, stub list, end of day.
vorlan_test(several_days_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/several_days_test.cpp
  LIBS vorlan_testui vorlan_reports_testtools)
