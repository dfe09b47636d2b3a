# Manual result entry, deleting and renumbering samples.
vorlan_test(sample_edit_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sampleedit_test.cpp ${CMAKE_CURRENT_LIST_DIR}/edit_window_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/graphics/samplerow.cpp
  LIBS vorlan_testui)
target_include_directories(sample_edit_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/graphics)
