# Fixture executables and libraries with and without a version resource, for the copier's rule
# on installed executables; they land beside updater_tests.exe.
set(kc_fix ${CMAKE_CURRENT_BINARY_DIR}/copier_fixtures)
file(WRITE ${kc_fix}/fixture.c "int main(void) { return 0; }\n")
set(kc_fix_rc [=[
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
BEGIN
  BLOCK "StringFileInfo" { BLOCK "041104b0" { VALUE "FileVersion", "1, 0, 0, @build@\0" } }
  BLOCK "VarFileInfo" { VALUE "Translation", 0x411, 1200 }
END
]=])

function(kc_copier_fixture name kind build)
  if(kind STREQUAL "exe")
    add_executable(${name} ${kc_fix}/fixture.c)
  else()
    add_library(${name} SHARED ${kc_fix}/fixture.c)
    set_target_properties(${name} PROPERTIES PREFIX "")
  endif()
  if(build)
    string(CONFIGURE "${kc_fix_rc}" rc @ONLY)
    file(WRITE ${kc_fix}/${name}.rc "${rc}")
    target_sources(${name} PRIVATE ${kc_fix}/${name}.rc)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_dependencies(updater_tests ${name})
endfunction()

if(TARGET updater_tests)
  kc_copier_fixture(copier_v1004 dll 4)
  kc_copier_fixture(copier_v1005 dll 5)
  kc_copier_fixture(copier_app_v1005 exe 5)
  kc_copier_fixture(copier_plain dll "")
endif()
