# Widgets that windows of several rooms share: the tool window frame, the
# up-down field, the picture view and the multi-row page tabs.
list(APPEND CVG_GUI_SOURCES
  widgets/TPageControl.cpp
  widgets/TLoupe.cpp
  widgets/TPictureView.cpp
  widgets/TToolWindow.cpp
)
