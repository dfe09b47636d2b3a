# Derived items and the linear correction of an item.
target_sources(vorlan_workstation PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/formula.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fieldcacl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linearcorrection.cpp)
vorlan_ui_sources(linejust.cpp)
