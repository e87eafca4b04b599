# Runs the shipped sample through compress, info and decompress and checks
# that each step succeeds and leaves a plausible file.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${TAVIX} ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "tavix ${ARGN} failed (${result}): ${error}")
  endif()
  set(LAST_OUTPUT "${output}" PARENT_SCOPE)
endfunction()

run(compress ${SAMPLE} ${WORK}/sample.tvx --bpp 1)
file(SIZE ${WORK}/sample.tvx tvx_size)
# 300 x 200 pixels at 1 bit per pixel: 7500 bytes, never more.
if(tvx_size GREATER 7500 OR tvx_size LESS 7000)
  message(FATAL_ERROR "file-size mode gave ${tvx_size} bytes for a 7500-byte target")
endif()

run(info ${WORK}/sample.tvx)
foreach(expected "width: 300" "height: 200" "True Color \\(24 bit\\)" "9/7 Filter" "File Size")
  if(NOT LAST_OUTPUT MATCHES "${expected}")
    message(FATAL_ERROR "info lacks '${expected}':\n${LAST_OUTPUT}")
  endif()
endforeach()

run(decompress ${WORK}/sample.tvx ${WORK}/sample.ppm)
file(SIZE ${WORK}/sample.ppm ppm_size)
file(SIZE ${SAMPLE} sample_size)
if(NOT ppm_size EQUAL sample_size)
  message(FATAL_ERROR "decoded PPM has ${ppm_size} bytes, the sample ${sample_size}")
endif()
