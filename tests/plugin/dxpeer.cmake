# A second process for the DirectX capability tests: serves kcDXCaps's items over DDE.
add_executable(dxcaps_peer ${CMAKE_CURRENT_LIST_DIR}/dxpeer/DXCapsPeerMain.cpp)
target_link_libraries(dxcaps_peer PRIVATE plugincore)
target_include_directories(dxcaps_peer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(dxcaps_peer PRIVATE -municode)
target_sources(plugin_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/foundation/DdeTestSupport.cpp)
add_dependencies(plugin_tests dxcaps_peer)
