# The resources of zelfix's Windows programs: the icon, generated at build time from its
# text pixel map (platform/win32/res/icon.txt, tools/make_icon.py), the manifest and the
# version information, from the templates in platform/win32/res.
#
#   zelfix_add_windows_resources(<target>)   adds them to an executable
#
# The version information tells support which sources and which site an executable was
# built for (Properties -> Details): the version text (below) and the target address.
# Nothing in the resources depends on the time or the place of the build.

# The paths are set in every directory that includes this file; what is made from them
# only once.
set(ZELFIX_RESOURCE_SOURCE ${PROJECT_SOURCE_DIR}/platform/win32/res)
set(ZELFIX_RESOURCE_BINARY ${PROJECT_BINARY_DIR}/resources)
set(ZELFIX_RESOURCE_HEADER ${ZELFIX_RESOURCE_SOURCE}/resource.h)
set(ZELFIX_ICON ${ZELFIX_RESOURCE_BINARY}/zelfix.ico)
set(ZELFIX_MANIFEST ${ZELFIX_RESOURCE_BINARY}/zelfix.manifest)
set(ZELFIX_RESOURCE_SCRIPT ${ZELFIX_RESOURCE_BINARY}/zelfix.rc)

include_guard(GLOBAL)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
include(${PROJECT_SOURCE_DIR}/cmake/Version.cmake)

# The version as a string literal of the resource script: a backslash starts an escape
# there, and a quotation mark is doubled.
string(REPLACE "\\" "\\\\" ZELFIX_RC_VERSION_TEXT "${ZELFIX_VERSION_TEXT}")
string(REPLACE "\"" "\"\"" ZELFIX_RC_VERSION_TEXT "${ZELFIX_RC_VERSION_TEXT}")

add_custom_command(
  OUTPUT ${ZELFIX_ICON}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_icon.py
          ${ZELFIX_RESOURCE_SOURCE}/icon.txt ${ZELFIX_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py ${ZELFIX_RESOURCE_SOURCE}/icon.txt
  COMMENT "Drawing zelfix.ico from its pixel map"
  VERBATIM)
add_custom_target(zelfix_icon DEPENDS ${ZELFIX_ICON})

configure_file(${ZELFIX_RESOURCE_SOURCE}/zelfix.manifest.in ${ZELFIX_MANIFEST} @ONLY)
configure_file(${ZELFIX_RESOURCE_SOURCE}/zelfix.rc.in ${ZELFIX_RESOURCE_SCRIPT} @ONLY)

function(zelfix_add_windows_resources target)
  target_sources(${target} PRIVATE ${ZELFIX_RESOURCE_SCRIPT})
  set_source_files_properties(${ZELFIX_RESOURCE_SCRIPT} PROPERTIES
    OBJECT_DEPENDS "${ZELFIX_ICON};${ZELFIX_MANIFEST};${ZELFIX_RESOURCE_HEADER}")
  add_dependencies(${target} zelfix_icon)
endfunction()
