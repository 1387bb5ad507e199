list(APPEND CVG_CORE_SOURCES
  worksheet/Document.cpp
  worksheet/DocumentChanges.cpp
  worksheet/DocumentFile.cpp
  worksheet/DocumentHeader.cpp
  worksheet/DocumentState.cpp
  worksheet/EditCommands.cpp
  worksheet/History.cpp
  worksheet/OverviewMarks.cpp
  worksheet/Point.cpp
  worksheet/PointMarkers.cpp
  worksheet/TextExport.cpp
  worksheet/ZoomedView.cpp
  worksheet/Worksheets.cpp
)
list(APPEND CVG_GUI_SOURCES
  worksheet/TSheetGrid.cpp
  worksheet/TfrmSheet.cpp
)
