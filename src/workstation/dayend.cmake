# Backup, restore and end of day: the archiving and file copies (logic) and
# the main window's handlers with the message window (windows).
target_sources(vorlan_workstation PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dayend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dbcopy.cpp)
vorlan_ui_sources(form1_dayend.cpp ../app/umessage.cpp)
