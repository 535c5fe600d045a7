# Writes, for each named COM interface of the platform's headers, a class
# Stub<Interface> whose methods all answer E_NOTIMPL, the base interfaces'
# included and IUnknown's left pure. Test doubles then write only the
# methods the code under test calls, and the compiler still checks them
# against the real vtable.
#   cmake -DHEADERS="a.h|b.h" -DINTERFACES="IFoo|IBar" -DOUT=Stubs.h -P ComStubs.cmake
string(REPLACE "|" ";" headers "${HEADERS}")
string(REPLACE "|" ";" interfaces "${INTERFACES}")

set(all "")
foreach(header ${headers})
  file(READ "${header}" text)
  string(APPEND all "${text}")
endforeach()

# The method block of one interface and the name of its base.
function(interface_block name out_block out_base)
  string(FIND "${all}" "\n${name} : public " start)
  if(start EQUAL -1)
    message(FATAL_ERROR "interface ${name} not found in ${HEADERS}")
  endif()
  string(SUBSTRING "${all}" ${start} 200000 rest)
  string(REGEX MATCH "^\n${name} : public ([A-Za-z0-9_]+)" _ "${rest}")
  set(${out_base} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  string(FIND "${rest}" "{" open)
  string(FIND "${rest}" "\n};" close)
  math(EXPR open "${open} + 1")
  math(EXPR length "${close} - ${open}")
  string(SUBSTRING "${rest}" ${open} ${length} block)
  string(REPLACE "public:" "" block "${block}")
  string(REGEX REPLACE "\\) = 0;" ") override { return E_NOTIMPL; }" block "${block}")
  set(${out_block} "${block}" PARENT_SCOPE)
endfunction()

set(result "#pragma once\n// Generated from the platform headers; do not edit.\n")
string(APPEND result "#pragma GCC diagnostic push\n#pragma GCC diagnostic ignored \"-Wunused-parameter\"\n")
foreach(name ${interfaces})
  set(body "")
  set(current ${name})
  while(NOT current STREQUAL "IUnknown")
    interface_block(${current} block base)
    set(body "${block}${body}")
    set(current ${base})
  endwhile()
  string(APPEND result "class Stub${name} : public ${name} {\npublic:${body}};\n\n")
endforeach()
string(APPEND result "#pragma GCC diagnostic pop\n")
file(WRITE "${OUT}" "${result}")
