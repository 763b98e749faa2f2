# The plug-in's unit tests link its code and its resources directly (the executable is the
# resource module), so pages and templates are tested without the library.
if(TARGET plugin_tests)
  target_sources(plugin_tests PRIVATE ${CMAKE_SOURCE_DIR}/plugin/gx7conf.rc)
  target_link_libraries(plugin_tests PRIVATE comctl32)
endif()
