list(APPEND CVG_CORE_SOURCES
  image/ImageSet.cpp
)
list(APPEND CVG_GUI_SOURCES
)
