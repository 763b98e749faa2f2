# A second process for the configuration's DDE tests: serves its record as a peer would.
add_executable(config_peer ${CMAKE_CURRENT_LIST_DIR}/ddepeer/ConfigPeerMain.cpp)
target_link_libraries(config_peer PRIVATE config foundation)
target_include_directories(config_peer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(config_peer PRIVATE -municode)
target_sources(config_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/foundation/DdeTestSupport.cpp)
add_dependencies(config_tests config_peer)
