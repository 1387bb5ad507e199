list(APPEND CVG_CORE_SOURCES
  trace/TraceLine.cpp
)
list(APPEND CVG_GUI_SOURCES
)
