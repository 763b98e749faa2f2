# End-to-end tests of updater.exe, and the sample tool that scripts/demo uses.
set(KC_UPD_E2E ${CMAKE_CURRENT_SOURCE_DIR}/updater/e2e)
if(TARGET updater AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/support/Hg3Builder.cpp)
add_library(updater_sample_lib STATIC ${KC_UPD_E2E}/Sample.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/Hg3Builder.cpp)
target_include_directories(updater_sample_lib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${KC_UPD_E2E})
target_compile_definitions(updater_sample_lib PUBLIC KC_UPDATER_EXE="$<TARGET_FILE:updater>"
                           KC_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
target_link_libraries(updater_sample_lib PUBLIC image foundation gdi32 user32 shell32)

add_executable(updater_sample ${KC_UPD_E2E}/SampleTool.cpp)
target_link_libraries(updater_sample PRIVATE updater_sample_lib)
target_link_options(updater_sample PRIVATE -municode)
add_dependencies(updater_sample updater)

# One update at a time: the runs share the uninstall key, the mutex names and the display.
set(KC_UPD_SUPPORT ${KC_TEST_SUPPORT})
list(FILTER KC_UPD_SUPPORT EXCLUDE REGEX "Hg3Builder\\.cpp$")
add_executable(updater_e2e_tests ${KC_UPD_E2E}/UpdaterE2ETest.cpp ${KC_UPD_SUPPORT})
target_link_libraries(updater_e2e_tests PRIVATE updater_sample_lib gtest gtest_main)
target_include_directories(updater_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(updater_e2e_tests updater)
kc_i686_deliverable(updater_e2e_tests KC_I686_UPDATER_EXE updater.exe)
# Libraries of two versions for the road where a newer installed one stays (copier.cmake makes them).
foreach(fixture copier_v1004 copier_v1005)
  if(TARGET ${fixture})
    add_dependencies(updater_e2e_tests ${fixture})
  endif()
endforeach()
gtest_discover_tests(updater_e2e_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endif()
