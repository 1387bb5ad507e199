list(APPEND CVG_CORE_SOURCES
  calibration/Calibration.cpp
  calibration/CorrectDistortion.cpp
  calibration/ValueText.cpp
)
list(APPEND CVG_GUI_SOURCES
  calibration/TfDeform.cpp
  calibration/TfDeformMarkers.cpp
  calibration/TfEditData.cpp
)
# The correction rounds two extended-precision products per pixel; without
# errno the rounding compiles to one instruction instead of a library call.
# The value text rounds one extended-precision product per value the same way.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/calibration/CorrectDistortion.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/calibration/ValueText.cpp
  PROPERTIES COMPILE_OPTIONS -fno-math-errno)
