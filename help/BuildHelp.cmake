# Compiles cvghelp.chm in WORK from the pages in SOURCE: copies them, draws
# the pictures, runs chmcmd and checks the result. Any warning of chmcmd (a
# page or picture that a page names but that is not there) stops the build.
set(topics
  Introduction.htm DialogDeform.htm DialogEdit.htm DialogMarker.htm DialogSpline.htm
  DialogWorksheet.htm DialogImage.htm DialogDirectory.htm DialogLine.htm DialogMagnification.htm
  DialogPdf.htm)
foreach(topic IN LISTS topics)
  if(NOT EXISTS "${SOURCE}/${topic}")
    message(FATAL_ERROR "help: the topic page ${topic} is missing in ${SOURCE}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/images")
file(GLOB files "${SOURCE}/*.htm" "${SOURCE}/*.hhp" "${SOURCE}/*.hhc" "${SOURCE}/*.hhk" "${SOURCE}/*.css")
file(COPY ${files} DESTINATION "${WORK}")

# The tool is a Qt program; in a sanitizer build its exit must not count
# the toolkit's own allocations as a failure of the help.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

execute_process(COMMAND "${TOOL}" pictures "${WORK}/images"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help: drawing the pictures failed:\n${out}")
endif()

execute_process(COMMAND "${CHMCMD}" --verbosity 1 cvghelp.hhp
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "Warning|Error|exception" OR NOT EXISTS "${WORK}/cvghelp.chm")
  file(REMOVE "${WORK}/cvghelp.chm")
  message(FATAL_ERROR "help: chmcmd could not compile cvghelp.chm:\n${out}")
endif()

execute_process(COMMAND "${TOOL}" check "${WORK}/cvghelp.chm" ${topics}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  file(REMOVE "${WORK}/cvghelp.chm")
  message(FATAL_ERROR "help: the compiled cvghelp.chm is incomplete:\n${out}")
endif()
