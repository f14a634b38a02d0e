# Optimised builds carry the protections a distribution builds its packages with: fortified
# libc calls, a strong stack protector, stack clash protection, control-flow protection where
# the processor has it, a position-independent executable and a read-only relocation table
# bound at start-up. A plain `cmake` build gets them without dpkg-buildflags.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

set(VINTREL_OPTIMISED $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(hardening_flags -fstack-protector-strong -Wformat -Werror=format-security)
set(optional_flags -fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  list(APPEND optional_flags -fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  list(APPEND optional_flags -mbranch-protection=standard)
endif()
# A flag the compiler only warns about (clang on another processor) is not taken.
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag ${optional_flags})
  string(MAKE_C_IDENTIFIER "VINTREL_HAS${flag}" has_flag)
  check_cxx_compiler_flag(${flag} ${has_flag})
  if(${has_flag})
    list(APPEND hardening_flags ${flag})
  endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)
add_compile_options("$<${VINTREL_OPTIMISED}:${hardening_flags}>")

# The sanitizers replace the libc calls fortification would check, and complain about it.
if(NOT VINTREL_SANITIZE AND NOT VINTREL_TSAN AND NOT VINTREL_FUZZ)
  add_compile_definitions("$<${VINTREL_OPTIMISED}:_FORTIFY_SOURCE=2>")
endif()
add_link_options("$<${VINTREL_OPTIMISED}:LINKER:-z,relro,-z,now>")
