# A second process for the DDE tests: serves or fetches items over kcDDE.
add_executable(dde_peer ${CMAKE_CURRENT_LIST_DIR}/ddepeer/DdePeerMain.cpp)
target_link_libraries(dde_peer PRIVATE foundation)
target_include_directories(dde_peer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(dde_peer PRIVATE -municode)
add_dependencies(foundation_tests dde_peer)
