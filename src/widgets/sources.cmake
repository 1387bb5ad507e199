# Widgets that windows of several rooms share: the tool window frame, the
# up-down field and the picture view.
list(APPEND CVG_GUI_SOURCES
  widgets/TPictureView.cpp
  widgets/TToolWindow.cpp
)
