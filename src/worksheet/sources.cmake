list(APPEND CVG_CORE_SOURCES
  worksheet/DocumentHeader.cpp
  worksheet/Worksheets.cpp
)
list(APPEND CVG_GUI_SOURCES
)
