# String resources of the tooltip tests.
target_sources(plugin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ToolTipStrings.rc)
