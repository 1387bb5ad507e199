list(APPEND CVG_CORE_SOURCES
  platform/Cp932.cpp
  platform/FileIO.cpp
  platform/Parallel.cpp
  platform/SettingsStore.cpp
)
list(APPEND CVG_GUI_SOURCES
  platform/QtDialogs.cpp
)
