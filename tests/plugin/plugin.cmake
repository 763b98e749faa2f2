# The plug-in's unit tests link its code and its resources directly (the executable is the
# resource module), so pages and templates are tested without the library. The library tests
# load the real gx7conf.dll through our own host, which the demo's gx7host.exe shares.
set(KC_PLUGIN_HOST ${CMAKE_CURRENT_SOURCE_DIR}/plugin/host)
if(TARGET gx7conf)
  add_library(gx7host_lib STATIC ${KC_PLUGIN_HOST}/gx7Host.cpp ${KC_PLUGIN_HOST}/SheetDriver.cpp
              ${KC_PLUGIN_HOST}/GameFolder.cpp)
  target_include_directories(gx7host_lib PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(gx7host_lib PUBLIC comctl32 user32 gdi32)

  # The host program sits beside the library, as the game does.
  add_executable(gx7host ${KC_PLUGIN_HOST}/HostMain.cpp)
  target_link_libraries(gx7host PRIVATE gx7host_lib)
  target_link_options(gx7host PRIVATE -municode)
  set_target_properties(gx7host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_dependencies(gx7host gx7conf)
endif()
if(TARGET plugin_tests)
  target_sources(plugin_tests PRIVATE ${CMAKE_SOURCE_DIR}/plugin/gx7conf.rc ${CMAKE_SOURCE_DIR}/tests/foundation/DdeTestSupport.cpp)
  target_link_libraries(plugin_tests PRIVATE comctl32)
  if(TARGET gx7conf)
    target_link_libraries(plugin_tests PRIVATE gx7host_lib)
    target_compile_definitions(plugin_tests PRIVATE KC_GX7CONF_DLL=L"Z:$<TARGET_FILE:gx7conf>")
    kc_i686_deliverable(plugin_tests KC_I686_GX7CONF_DLL gx7conf.dll)
    add_dependencies(plugin_tests gx7conf)
  endif()
  # A second process for the DirectX capability tests: serves kcDXCaps's items over DDE.
  add_executable(dxcaps_peer ${CMAKE_CURRENT_SOURCE_DIR}/plugin/dxpeer/DXCapsPeerMain.cpp)
  target_link_libraries(dxcaps_peer PRIVATE plugincore)
  target_include_directories(dxcaps_peer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_options(dxcaps_peer PRIVATE -municode)
  add_dependencies(plugin_tests dxcaps_peer)
endif()
