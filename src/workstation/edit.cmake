# Manual result entry, deleting and renumbering samples.
target_sources(vorlan_workstation PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sampleedit.cpp)
vorlan_ui_sources(resultinput.cpp)
