# A display that cannot be reached (a stale DISPLAY in an SSH session) counts as no display: the program
# says why in one line and goes on without a window, instead of being ended by the toolkit.
#   cmake -DTAVIKWM=path -DWORK=folder -P unreachable_display.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/typed "print 6*7\n")
foreach(display ":4242" "no-such-host-name:0" "nonsense")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                          DISPLAY=${display} ${TAVIKWM}
                  INPUT_FILE ${WORK}/typed OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status
                  TIMEOUT 60)
  string(REGEX MATCHALL "\n" lines "${err}")
  list(LENGTH lines count)
  if(NOT status EQUAL 0 OR NOT out MATCHES "\nprint 6\\*7\r?\n42\r?\n" OR
     NOT err MATCHES "the window cannot be opened \\(cannot open display ${display}: " OR NOT count EQUAL 1)
    message(FATAL_ERROR "DISPLAY=${display}: status ${status}\nout: ${out}\nerr: ${err}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
