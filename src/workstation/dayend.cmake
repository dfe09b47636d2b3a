# Backup, restore and end of day: the archiving and file copies.
target_sources(vorlan_workstation PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dayend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dbcopy.cpp)
