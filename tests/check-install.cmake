# Installs the build tree into a scratch prefix and checks what a user gets.
# -DBUILD_DIR=... -DWINDOWS=ON|OFF [-DWINDRES=...]
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
if(WINDOWS)
  set(expected Quorlin.Appender64.dll Quorlin64.dll ORBEK.Utility.DString64.dll ORBEK.Utility.ThreadPool64.dll
      quorlin-run.exe gzip.exe examples/config/file.conf docs/configuration.md README.md ${QUORLIN_EXTRA_FILES})
else()
  set(expected lib/Quorlin.Appender64.so lib/gzip lib/libQuorlin64.so lib/libORBEK.Utility.DString64.so
      lib/libORBEK.Utility.ThreadPool64.so bin/quorlin-run share/quorlin/examples/config/file.conf
      share/quorlin/docs/configuration.md share/quorlin/README.md)
endif()
foreach(file ${expected})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "missing from the install tree: ${file}")
  endif()
endforeach()
if(WINDOWS AND WINDRES)
  foreach(dll Quorlin.Appender64.dll Quorlin64.dll quorlin-run.exe)
    execute_process(COMMAND ${WINDRES} -i ${prefix}/${dll} -O rc OUTPUT_VARIABLE rc_text RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT rc_text MATCHES "FileVersion\", \"${VERSION}" OR NOT rc_text MATCHES "FileDescription")
      message(FATAL_ERROR "${dll} carries no version resource of ${VERSION}:\n${rc_text}")
    endif()
  endforeach()
endif()
if(NOT WINDOWS)
  # The installed program finds the module in ../lib.
  execute_process(COMMAND ${prefix}/bin/quorlin-run --config ${prefix}/share/quorlin/examples/config/null.conf --generate 5
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "m_nCount=5")
    message(FATAL_ERROR "installed quorlin-run failed (${rc}): ${out} ${err}")
  endif()
endif()
file(REMOVE_RECURSE ${prefix})
message(STATUS "install tree complete")
