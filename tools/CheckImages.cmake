# Runs the image generator into OUT and compares its files with those in REF.
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${TOOL} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "image generator failed: ${rc}")
endif()
foreach(name usb_131.bin dsp_135.bin)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${REF}/${name}
                  RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "${name} differs from the generator's output; rerun kr35-make-images resources")
  endif()
endforeach()
