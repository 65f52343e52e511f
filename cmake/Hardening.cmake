# Hardening as Debian builds its packages: the flags dpkg-buildflags gives
# with every hardening feature asked for (stack protector, checked libc
# calls, read-only relocations bound at start), the optimisation and debug
# options left to the build type. What the Debian 12 dpkg does not give yet
# is added as its later versions do: control-flow protection, stack clash
# protection and checked libc calls at level 3 (which also checks buffers
# whose size is known only at run time: at level 2 none of these programs'
# calls could be checked). Position independent programs are asked for
# explicitly rather than left to the compiler's default. A packager's
# DEB_BUILD_MAINT_OPTIONS, DEB_CXXFLAGS_APPEND and the like are honoured as
# dpkg-buildflags honours them.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

find_program(ORVANTO_DPKG_BUILDFLAGS dpkg-buildflags)
set(orvanto_cppflags -D_FORTIFY_SOURCE=3)
set(orvanto_cxxflags -fstack-protector-strong -Wformat -Werror=format-security)
set(orvanto_ldflags -Wl,-z,relro -Wl,-z,now)
if(ORVANTO_DPKG_BUILDFLAGS)
  if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
    set(orvanto_maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  else()
    set(orvanto_maint_options hardening=+all)
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${orvanto_maint_options}"
              ${ORVANTO_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # The build type chooses optimisation and debug information, and the
    # project asks for -Wformat=2, which a later -Wformat would lower.
    list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*|Wformat)$")
    string(TOLOWER "${kind}" kind)
    set(orvanto_${kind} ${flags})
  endforeach()
endif()

list(TRANSFORM orvanto_cppflags REPLACE "^-D_FORTIFY_SOURCE=[12]$" "-D_FORTIFY_SOURCE=3")
foreach(flag -fcf-protection -fstack-clash-protection)
  string(MAKE_C_IDENTIFIER "ORVANTO_HAS${flag}" supported)
  check_cxx_compiler_flag(${flag} ${supported})
  if(${supported} AND NOT flag IN_LIST orvanto_cxxflags)
    list(APPEND orvanto_cxxflags ${flag})
  endif()
endforeach()
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# Checked libc calls need the optimiser: a Debug build goes without.
foreach(flag IN LISTS orvanto_cppflags)
  if(flag MATCHES "^-D_FORTIFY_SOURCE")
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
  else()
    add_compile_options(${flag})
  endif()
endforeach()
add_compile_options(${orvanto_cxxflags})
add_link_options(${orvanto_ldflags})
list(JOIN orvanto_cppflags " " shown)
list(JOIN orvanto_cxxflags " " shown_cxx)
list(JOIN orvanto_ldflags " " shown_ld)
message(STATUS "Hardening: ${shown} ${shown_cxx} -fPIE ${shown_ld} -pie")
