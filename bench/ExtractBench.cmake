# The CHM container's benchmark (see README.md).
add_executable(ExtractBench ${CMAKE_CURRENT_LIST_DIR}/ExtractBench.cpp)
target_link_libraries(ExtractBench PRIVATE plovik_chm)
