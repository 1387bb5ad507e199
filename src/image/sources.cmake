list(APPEND CVG_CORE_SOURCES
  image/BmpCodec.cpp
  image/ImageSet.cpp
  image/JpegCodec.cpp
  image/JpegExtensions.cpp
  image/Magnify.cpp
  image/MetafilePlayer.cpp
  image/ModernPicture.cpp
  image/Overview.cpp
  image/PdfPicture.cpp
  image/PictureBlock.cpp
  image/PngCodec.cpp
  image/PngDecode.cpp
)
# The metafile player's record parsers and drawing state live in their own folder.
file(GLOB CVG_METAFILE_SOURCES CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/image/metafile/*.cpp)
list(APPEND CVG_CORE_SOURCES ${CVG_METAFILE_SOURCES})
list(APPEND CVG_GUI_SOURCES
  image/TfImage.cpp
  image/TfMagnification.cpp
  image/TfPdfPage.cpp
  image/TfrmScope.cpp
  image/ViewWindows.cpp
)
