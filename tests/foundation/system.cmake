# Start-up and shut-down touch process-wide state (COM, heap, singletons): their own executable,
# without the shared support that creates a heap in every test process.
kc_add_test(system_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/foundation/system/SystemTest.cpp LIBS foundation)
