# The per-OS seam: beside each platform header lie its implementations, one per system, named by
# what they call (_linux, _posix, _gtk, _x11 for Linux; _win for Windows). Each folder that has
# such files picks them with if(UNIX AND NOT APPLE) / elseif(WIN32) and passes its pick here.

if(NOT (UNIX AND NOT APPLE) AND NOT WIN32)
  message(FATAL_ERROR "Zephra Player builds for Linux and Windows, not for ${CMAKE_SYSTEM_NAME}")
endif()

# zephra_per_os_sources(VAR): VAR holds the calling folder's per-OS files for the system being
# built for. Records them (from the source root) in ZEPHRA_PLATFORM_SOURCES, the list a
# configure-only run prints. A real configure stops at a file that is not written yet (the
# Windows implementations): better now than as a missing source at generation time.
function(zephra_per_os_sources var)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(missing "")
  foreach(file IN LISTS ${var})
    set_property(GLOBAL APPEND PROPERTY ZEPHRA_PLATFORM_SOURCES ${folder}/${file})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${file})
      list(APPEND missing ${folder}/${file})
    endif()
  endforeach()
  if(missing AND NOT ZEPHRA_CONFIGURE_ONLY)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "The ${CMAKE_SYSTEM_NAME} build needs sources not written yet: ${missing}")
  endif()
endfunction()

# What a configure-only run reports, one item a line, for people and for the seam test.
function(zephra_print_configure_only_lists)
  get_property(sources GLOBAL PROPERTY ZEPHRA_PLATFORM_SOURCES)
  get_property(packages GLOBAL PROPERTY ZEPHRA_PACKAGES)
  message(STATUS "Per-OS sources and packages of the ${CMAKE_SYSTEM_NAME} build:")
  foreach(source IN LISTS sources)
    message(STATUS "per-OS source: ${source}")
  endforeach()
  foreach(package IN LISTS packages)
    message(STATUS "package: ${package}")
  endforeach()
endfunction()
