# quorlin_export_macro(TARGET MACRO [COMPILED_IN OBJECTS]): defines MACRO, which marks the symbols a
# shared library exports. Its own sources export them (dllexport on Windows, default visibility on
# Linux); the code that links against it imports them (dllimport on Windows). COMPILED_IN names the
# object library that holds the sources when TARGET only links them: it exports to everything that
# uses it, as the unit tests that link it directly need.
function(quorlin_export_macro target macro)
  cmake_parse_arguments(E "" "COMPILED_IN" "" ${ARGN})
  if(WIN32)
    set(export "${macro}=__declspec(dllexport)")
    set(import "${macro}=__declspec(dllimport)")
  else()
    set(export "${macro}=__attribute__((visibility(\"default\")))")
    set(import "${export}")
  endif()
  if(E_COMPILED_IN)
    target_compile_definitions(${E_COMPILED_IN} PUBLIC "${export}")
    target_compile_definitions(${target} INTERFACE "${import}")
  else()
    target_compile_definitions(${target} PRIVATE "${export}" INTERFACE "${import}")
  endif()
endfunction()
