# Copies the distribution's files into DIST_DIR (run by the dist target).
# Every file must be there: a distribution without its help or sample is not shipped.

function(find_built name explicit out)
  if(explicit)
    set(candidates "${explicit}")
  else()
    string(REPLACE "|" ";" dirs "${SEARCH_DIRS}")
    set(candidates)
    foreach(dir IN LISTS dirs)
      list(APPEND candidates "${dir}/${name}")
    endforeach()
  endif()
  foreach(candidate IN LISTS candidates)
    if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      set(${out} "${candidate}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  list(JOIN candidates ", " where)
  message(FATAL_ERROR "dist: ${name} was not found (looked at ${where}). "
                      "Build the whole project first, or name the file with -DCVG_DIST_HELP / -DCVG_DIST_SAMPLE.")
endfunction()

find_built(cvghelp.chm "${HELP}" help)
find_built(sample.cvd "${SAMPLE}" sample)

# The folder is filled, never emptied: DIST_DIR may be a folder the user also keeps other things in.
file(MAKE_DIRECTORY "${DIST_DIR}")
foreach(f IN ITEMS "${PROGRAM}" "${SETUP}" ${TEXTS})
  if(NOT EXISTS "${f}")
    message(FATAL_ERROR "dist: ${f} is missing")
  endif()
  file(COPY "${f}" DESTINATION "${DIST_DIR}")
endforeach()
file(COPY_FILE "${help}" "${DIST_DIR}/cvghelp.chm")
file(COPY_FILE "${sample}" "${DIST_DIR}/sample.cvd")

message(STATUS "Distribution folder: ${DIST_DIR}")
