# zephra_library(NAME SOURCES...): the static library zephra_NAME, linked as zephra::NAME, whose
# users include its headers from the source root (#include "folder/header.h").
function(zephra_library name)
  add_library(zephra_${name} STATIC ${ARGN})
  add_library(zephra::${name} ALIAS zephra_${name})
  target_include_directories(zephra_${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
