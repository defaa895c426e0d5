# The layers: the converters (src/convert), the readers (src/products), the fixed layouts
# (src/formats) and the paging decoders (src/paging) include nothing from the window model
# (src/app), the index (src/index) or the window (src/ui).
#
# Run as a test: cmake -DSOURCE_DIR=<checkout> -P check_includes.cmake. It fails on any such include
# that is not among the known exceptions below, and names the exceptions that no longer occur so
# that they can be struck off the list.

# FILE|INCLUDE pairs that may cross the line. None do: the readers, the record loop and the
# layouts read the run's ConversionSettings, which the window model makes when a run starts.
set(KNOWN_EXCEPTIONS)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

file(GLOB_RECURSE lower RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/src/convert/*.h ${SOURCE_DIR}/src/convert/*.cpp
  ${SOURCE_DIR}/src/products/*.h ${SOURCE_DIR}/src/products/*.cpp
  ${SOURCE_DIR}/src/formats/*.h ${SOURCE_DIR}/src/formats/*.cpp
  ${SOURCE_DIR}/src/paging/*.h ${SOURCE_DIR}/src/paging/*.cpp)
list(SORT lower)

set(found "")
set(violations "")
foreach(source IN LISTS lower)
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](app|index|ui)/")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" header "${line}")
    set(pair "${source}|${header}")
    list(APPEND found "${pair}")
    list(FIND KNOWN_EXCEPTIONS "${pair}" known)
    if(known EQUAL -1)
      list(APPEND violations "${source} includes ${header}")
    endif()
  endforeach()
endforeach()

foreach(pair IN LISTS KNOWN_EXCEPTIONS)
  list(FIND found "${pair}" still)
  if(still EQUAL -1)
    string(REPLACE "|" " no longer includes " text "${pair}")
    message(STATUS "known exception gone: ${text} (strike it off the list)")
  endif()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "A lower layer includes the window model, the index or the window:\n  ${text}")
endif()
list(LENGTH found count)
message(STATUS "layering holds (${count} known exceptions in use)")
