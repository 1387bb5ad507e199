list(APPEND CVG_CORE_SOURCES
  trace/TraceLine.cpp
)
