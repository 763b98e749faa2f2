# bench_image makes its pictures with the tests' HG-3 builder. The bench targets are defined
# after the tests, so the sources are added once the top-level folder is done.
function(kc_image_bench_fixtures)
  if(TARGET bench_image)
    target_sources(bench_image PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/Hg3Builder.cpp)
    target_include_directories(bench_image PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kc_image_bench_fixtures)
