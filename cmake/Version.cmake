# The version text of zelfix's executables: the Windows resources show it, and the
# unattended report names it on every platform. Sets ZELFIX_VERSION_TEXT,
# ZELFIX_VERSION_COMMAS and ZELFIX_VERSION_DOTS (cache, internal).
include_guard(GLOBAL)

# The version text, taken from git every time the build is configured:
#   v1.2.0                    the commit carries the tag v1.2.0
#   v1.2.0-3-g0123456789ab    three commits after it
#   commit 0123456789ab       no tag anywhere before the commit
#   ...-modified              the tree has uncommitted changes
#   1.0.0 (no git)            the sources are not a git checkout (an archive, say)
# ZELFIX_VERSION, when set, is taken instead, for builds from an archive.
set(ZELFIX_VERSION "" CACHE STRING "Version text of the executables; empty: from git")

function(zelfix_git_version result)
  set(${result} "" PARENT_SCOPE)
  find_package(Git QUIET)
  if(NOT GIT_FOUND)
    return()
  endif()
  # The sources must be the top of a checkout, not an archive unpacked inside another.
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
  if(failed OR NOT top)
    return()
  endif()
  file(REAL_PATH "${top}" top)
  if(NOT top STREQUAL source)
    return()
  endif()
  # A fixed abbreviation: git's default grows with the number of objects.
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --abbrev=12
                          --dirty=-modified
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT described)
    return()
  endif()
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --abbrev=0
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE untagged)
  if(untagged)
    set(described "commit ${described}")
  endif()
  set(${result} "${described}" PARENT_SCOPE)
endfunction()

if(ZELFIX_VERSION)
  set(version_text "${ZELFIX_VERSION}")
else()
  zelfix_git_version(version_text)
  if(NOT version_text)
    set(version_text "${PROJECT_VERSION} (no git)")
    message(WARNING "zelfix: the sources are not a git checkout, so the executables' version "
                    "information says \"${version_text}\". Pass -DZELFIX_VERSION=... to name "
                    "the version these sources come from.")
  endif()
endif()

# The four numbers of the fixed version: those of a tag such as v1.2.0 or 1.2, with the
# commits since the tag as the fourth; else the project's version.
set(version_numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH} 0)
if(version_text MATCHES "^v?([0-9]+)\\.([0-9]+)(\\.([0-9]+))?")
  set(numbers ${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  if("${CMAKE_MATCH_4}" STREQUAL "")
    list(APPEND numbers 0)
  else()
    list(APPEND numbers ${CMAKE_MATCH_4})
  endif()
  if(version_text MATCHES "-([0-9]+)-g[0-9a-f]+(-modified)?$")
    list(APPEND numbers ${CMAKE_MATCH_1})
  else()
    list(APPEND numbers 0)
  endif()
  set(fits TRUE)
  foreach(number IN LISTS numbers)
    if(number GREATER 65535)
      set(fits FALSE)
    endif()
  endforeach()
  if(fits)
    set(version_numbers ${numbers})
  endif()
endif()

# Kept in the cache so that the test of the resources (tests/win32) sees the same values.
set(ZELFIX_VERSION_TEXT "${version_text}" CACHE INTERNAL "version text of the executables")
list(JOIN version_numbers "," ZELFIX_VERSION_COMMAS)
list(JOIN version_numbers "." ZELFIX_VERSION_DOTS)
set(ZELFIX_VERSION_COMMAS "${ZELFIX_VERSION_COMMAS}" CACHE INTERNAL "fixed version, a,b,c,d")
set(ZELFIX_VERSION_DOTS "${ZELFIX_VERSION_DOTS}" CACHE INTERNAL "fixed version, a.b.c.d")
message(STATUS "zelfix: version ${ZELFIX_VERSION_TEXT} (${ZELFIX_VERSION_DOTS}), "
               "target address ${ZELFIX_TARGET_SERVER_ADDRESS}")

