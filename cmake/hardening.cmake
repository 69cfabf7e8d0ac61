# What a distribution's build adds to a release binary: checked string and memory calls, stack
# canaries and, on ELF, a position-independent executable whose relocations are resolved at
# start and then made read-only. Only optimised configurations: _FORTIFY_SOURCE needs the
# optimiser. Sanitizer and fuzzer builds go without, since fortified calls slip past
# AddressSanitizer's interceptors and those builds check more than the hardening does.
option(VANTEL_HARDEN "Harden Release and RelWithDebInfo builds (fortify, stack protector, relro/now, PIE)" ON)
if(NOT VANTEL_HARDEN OR VANTEL_SANITIZE OR VANTEL_TSAN OR VANTEL_FUZZ)
  return()
endif()

set(optimised "$<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>>")
add_compile_options("$<${optimised}:-D_FORTIFY_SOURCE=2;-fstack-protector-strong>")
# MinGW's canary and checked calls live in libssp, which the driver adds when it links with this.
add_link_options("$<${optimised}:-fstack-protector-strong>")
if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
  add_compile_options("$<${optimised}:-fPIE>")
  add_link_options("$<${optimised}:-pie;-Wl,-z,relro,-z,now>")
endif()
