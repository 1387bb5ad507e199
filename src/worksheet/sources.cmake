list(APPEND CVG_CORE_SOURCES
  worksheet/DocumentFile.cpp
  worksheet/DocumentHeader.cpp
  worksheet/EditCommands.cpp
  worksheet/TextExport.cpp
  worksheet/Worksheets.cpp
)
list(APPEND CVG_GUI_SOURCES
)
