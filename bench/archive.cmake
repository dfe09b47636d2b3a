# Ten years of archive: history searches, workload counts and the end of day
# against their goals. The archive is built once and kept in the build tree.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp)
target_link_libraries(archive_bench PRIVATE vorlan_ui SQLite::SQLite3)
target_compile_definitions(archive_bench PRIVATE
  ARCHIVE_CACHE_DIR="${CMAKE_BINARY_DIR}/bench/archive-cache")
