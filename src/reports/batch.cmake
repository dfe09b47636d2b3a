# Batch printing, the batch page builders and the stub list.
target_sources(vorlan_reports PRIVATE ${CMAKE_CURRENT_LIST_DIR}/batch.cpp ${CMAKE_CURRENT_LIST_DIR}/stub.cpp)
vorlan_ui_sources(Unit3.cpp Unit4.cpp)
