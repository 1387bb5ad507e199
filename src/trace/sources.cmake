list(APPEND CVG_CORE_SOURCES
  trace/PreciseTrace.cpp
  trace/TraceLine.cpp
)
list(APPEND CVG_GUI_SOURCES
  trace/TfrmTrace.cpp
  trace/TfrmTraceMouse.cpp
  trace/TfrmTraceRun.cpp
  trace/TfrmTraceColour.cpp
  trace/TraceWindows.cpp
)
