# A folder tree with a symbolic link back to itself for the file collection test. Wine cannot
# make reparse points, but shows a link to a folder as one, so the build makes the tree.
if(TARGET updater_tests AND CMAKE_HOST_UNIX)
  set(kc_tree ${CMAKE_BINARY_DIR}/testrun/linked_tree)
  file(REMOVE_RECURSE ${kc_tree})
  file(MAKE_DIRECTORY ${kc_tree}/sub)
  file(WRITE ${kc_tree}/top.txt "t")
  file(WRITE ${kc_tree}/sub/inner.txt "i")
  file(CREATE_LINK .. ${kc_tree}/sub/back RESULT kc_linked SYMBOLIC)
  if(kc_linked EQUAL 0)
    target_compile_definitions(updater_tests PRIVATE KC_LINKED_TREE="Z:${kc_tree}")
  endif()
endif()
