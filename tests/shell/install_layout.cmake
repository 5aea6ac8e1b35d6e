# What `cmake --install` puts under a prefix: the program and its window module stripped, the manual and
# the examples where --help and the man page point, the desktop entry and the program type.
#   cmake -DBUILD=build-folder -DWORK=folder -DWINDOW=ON|OFF -P install_layout.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK} OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(expected bin/tavikwm share/man/man1/tavikwm.1 share/doc/tavikwm/MANUAL.md share/doc/tavikwm/README.md
             share/doc/tavikwm/examples/PRIMES.TK)
set(binaries bin/tavikwm)
if(WINDOW)
  list(APPEND expected lib/tavikwm/tavikwm-window.so share/applications/tavikwm.desktop
                       share/mime/packages/tavikwm.xml share/icons/hicolor/256x256/apps/tavikwm.png)
  list(APPEND binaries lib/tavikwm/tavikwm-window.so)
endif()
foreach(path ${expected})
  if(NOT EXISTS ${WORK}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
foreach(binary ${binaries})
  execute_process(COMMAND readelf -S ${WORK}/${binary} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR sections MATCHES "\\.symtab")
    message(FATAL_ERROR "not stripped: ${binary}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
