# kc_add_library(target folder): a static library of every .cpp in folder except *Main.cpp.
function(kc_add_library target folder)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
  list(FILTER srcs EXCLUDE REGEX "Main\\.cpp$")
  if(NOT srcs)
    set(stub ${CMAKE_BINARY_DIR}/stub_${target}.cpp)
    file(WRITE ${stub} "// empty until the folder has sources\n")
    set(srcs ${stub})
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/${folder} ${CMAKE_SOURCE_DIR})
endfunction()

# kc_add_test(name libs... SOURCES srcs...): a GoogleTest executable run under Wine, one CTest case per test.
function(kc_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun PROPERTIES TIMEOUT 120)
endfunction()
