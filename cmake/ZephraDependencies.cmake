# Every outside package, looked up once for the whole tree; each is used through the one
# imported target named here. GTK and X11 exist only for the Linux build.
#
# With ZEPHRA_CONFIGURE_ONLY nothing is looked up: each package is only listed (ZEPHRA_PACKAGES),
# so a configure for another system shows what it would need without having it installed.

# zephra_find_module(NAME module): the pkg-config module as the imported target PkgConfig::NAME.
function(zephra_find_module name module)
  set_property(GLOBAL APPEND PROPERTY ZEPHRA_PACKAGES ${module})
  if(NOT ZEPHRA_CONFIGURE_ONLY)
    pkg_check_modules(${name} REQUIRED IMPORTED_TARGET ${module})
  endif()
endfunction()

# zephra_find_wxwidgets(TARGET component...): the wxWidgets libraries of the components as the
# imported target TARGET. The finder has no target of its own (before CMake 3.27) and keeps only
# the last lookup in its variables, hence one target per set of components.
function(zephra_find_wxwidgets target)
  string(JOIN " " components ${ARGN})
  set_property(GLOBAL APPEND PROPERTY ZEPHRA_PACKAGES "wxWidgets ${components}")
  if(ZEPHRA_CONFIGURE_ONLY)
    return()
  endif()
  find_package(wxWidgets 3.2 REQUIRED COMPONENTS ${ARGN})
  set(definitions ${wxWidgets_DEFINITIONS})
  list(REMOVE_DUPLICATES definitions)
  set(libraries ${wxWidgets_LIBRARIES})
  list(REMOVE_ITEM libraries "")
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${wxWidgets_INCLUDE_DIRS}"
    INTERFACE_COMPILE_DEFINITIONS "${definitions}"
    INTERFACE_COMPILE_OPTIONS "${wxWidgets_CXX_FLAGS}"
    INTERFACE_LINK_LIBRARIES "${libraries}")
endfunction()

# zephra_find_package(Name args...): find_package(Name REQUIRED args...), listed like the others.
macro(zephra_find_package name)
  set_property(GLOBAL APPEND PROPERTY ZEPHRA_PACKAGES ${name})
  if(NOT ZEPHRA_CONFIGURE_ONLY)
    find_package(${name} REQUIRED ${ARGN})
  endif()
endmacro()

if(NOT ZEPHRA_CONFIGURE_ONLY)
  find_package(PkgConfig REQUIRED)
endif()
zephra_find_package(Threads)                               # Threads::Threads

# The player's window toolkit: the controls need core and base only, so that the programs
# without a web view (the picture fuzzers among them) do not load the web engine.
zephra_find_wxwidgets(wxWidgets::core core base)
zephra_find_wxwidgets(wxWidgets::webview webview core base)
zephra_find_module(MPV mpv)                                # headers only: loaded at run time
zephra_find_module(CURL libcurl)
zephra_find_module(JPEG libjpeg)
if(UNIX AND NOT APPLE)
  # Native calls of the _gtk and _x11 files beside the platform headers.
  zephra_find_module(GTK3 gtk+-3.0)
  zephra_find_module(X11 x11)
  # The web views' cookie store (the browser wx makes is WebKitGTK's).
  zephra_find_module(WEBKIT webkit2gtk-4.0)
endif()

# The local server and the remote service.
zephra_find_module(SQLITE sqlite3)
zephra_find_module(LIBZIP libzip)
zephra_find_module(LIBXML2 libxml-2.0)
zephra_find_module(MICROHTTPD libmicrohttpd)
zephra_find_package(ZLIB)                                  # ZLIB::ZLIB: gzip guides
# Recordings: streams copied into files as they come, without re-encoding.
zephra_find_module(AVFORMAT libavformat)
zephra_find_module(AVCODEC libavcodec)
zephra_find_module(AVUTIL libavutil)
zephra_find_package(nlohmann_json)                         # nlohmann_json::nlohmann_json: provider answers

# HTTP client and server of the tests and benchmarks.
zephra_find_module(HTTPLIB cpp-httplib)
if(ZEPHRA_BUILD_TESTS)
  zephra_find_package(GTest)                               # GTest::gtest, GTest::gtest_main
endif()
