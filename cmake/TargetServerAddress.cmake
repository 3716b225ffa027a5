# The new web-server address that every installation is repaired to. Sites build their
# own executables with -DZELFIX_TARGET_SERVER_ADDRESS=a.b.c.d; the default is a
# documentation address that reaches no real server.
set(ZELFIX_TARGET_SERVER_ADDRESS "192.0.2.10" CACHE STRING
    "Web-server address written into every installation's settings file (dotted-decimal IPv4)")

function(zelfix_check_ipv4 address)
  set(octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])")
  string(LENGTH "${address}" length)
  if(length GREATER 15 OR NOT address MATCHES "^${octet}\\.${octet}\\.${octet}\\.${octet}$")
    message(FATAL_ERROR
      "ZELFIX_TARGET_SERVER_ADDRESS is \"${address}\", which is not a dotted-decimal IPv4 "
      "address such as 10.20.30.40 (four numbers 0-255 without leading zeros, at most 15 "
      "characters). Set it with -DZELFIX_TARGET_SERVER_ADDRESS=a.b.c.d")
  endif()
endfunction()

zelfix_check_ipv4("${ZELFIX_TARGET_SERVER_ADDRESS}")
