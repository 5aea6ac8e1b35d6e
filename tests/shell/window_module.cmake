# The program without its window module: `tavikwm` itself never links the window system, and where a
# display exists but the module cannot be loaded, it says why and the batch console runs instead.
#   cmake -DTAVIKWM=path -DWORK=folder -P window_module.cmake
execute_process(COMMAND ldd ${TAVIKWM} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd failed on ${TAVIKWM}")
endif()
if(libraries MATCHES "Qt6")
  message(FATAL_ERROR "tavikwm links the window system itself:\n${libraries}")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/bin)
file(COPY ${TAVIKWM} DESTINATION ${WORK}/bin)
file(WRITE ${WORK}/typed "print 6*7\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DISPLAY=:4242 ${WORK}/bin/tavikwm
                INPUT_FILE ${WORK}/typed OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 30)
if(NOT status EQUAL 0 OR NOT out MATCHES "\nOK\r?\nprint 6\\*7\r?\n42\r?\n" OR
   NOT err MATCHES "the window cannot be opened \\(no tavikwm-window.so beside the program")
  message(FATAL_ERROR "no batch console without the module: status ${status}\nout: ${out}\nerr: ${err}")
endif()
file(REMOVE_RECURSE ${WORK})
