# cmake -DINPUT=FILE -DOUTPUT=FILE.gz -P gzip-file.cmake: compresses INPUT as Debian wants it,
# gzip -9n (best compression, no name or time stamp in the header).
execute_process(COMMAND gzip -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "gzip -9n ${INPUT} failed: ${rc}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
