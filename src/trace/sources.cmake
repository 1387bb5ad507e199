list(APPEND CVG_CORE_SOURCES
  trace/BarReading.cpp
  trace/FollowCurve.cpp
  trace/MarkerReading.cpp
  trace/PreciseTrace.cpp
  trace/Readings.cpp
  trace/TraceLine.cpp
)
list(APPEND CVG_GUI_SOURCES
  trace/TfrmTrace.cpp
  trace/TfrmTraceMouse.cpp
  trace/TfrmTraceRun.cpp
  trace/TfrmTraceColour.cpp
  trace/TfrmTraceReadings.cpp
  trace/TraceWindows.cpp
)
