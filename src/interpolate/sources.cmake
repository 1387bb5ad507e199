list(APPEND CVG_CORE_SOURCES
  interpolate/Interpolate.cpp
  interpolate/InterpolateSheet.cpp
)
list(APPEND CVG_GUI_SOURCES
  interpolate/InterpolateCommands.cpp
  interpolate/TfrmSpline.cpp
)
