# Backup, restore and end of day, driven through the main window's handlers.
vorlan_test(dayend_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/dayend_test.cpp LIBS vorlan_testui)
