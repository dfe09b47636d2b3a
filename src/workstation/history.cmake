# History search, reprint and the workload count.
target_sources(vorlan_workstation PRIVATE ${CMAKE_CURRENT_LIST_DIR}/history.cpp)
vorlan_ui_sources(dayfltj.cpp)
