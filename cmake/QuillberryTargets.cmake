# What every target of the project shares: the warnings, optionally as errors, and the source tree as the
# root of its includes ("shell/core/error_report.h"); and, for every target the project makes (Qt's
# generated ones included), the hardening distributions build their programs with, or the sanitizers.
option(QUILLBERRY_WERROR "Treat compiler warnings as errors" OFF)
option(QUILLBERRY_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# Hardened in every build type: the program parses files from a shared temporary folder. Position-
# independent executables and code, a stack protector, the GOT read-only after relocation, every symbol
# bound at start-up, and the C library's checked string and memory functions where the code is optimised
# (they need the optimiser, and AddressSanitizer replaces them).
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
add_compile_options(-fstack-protector-strong)
add_link_options(LINKER:-z,relro LINKER:-z,now)
if(NOT QUILLBERRY_SANITIZE AND NOT QUILLBERRY_FUZZ)
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()

# Every finding stops the program: the tests fail instead of printing and going on. Optimised at -O1 with
# line tables only (-g1, enough for the findings' file and line): at -O2 -g the instrumented code takes twice
# as long to compile. gcc's flow analysis sees the instrumentation as reads of uninitialised memory inside
# Qt's and the standard library's headers (-Wmaybe-uninitialized, false alarms): that warning is left out.
if(QUILLBERRY_SANITIZE)
  set(QUILLBERRY_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${QUILLBERRY_SANITIZER_FLAGS} -O1 -g1 $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
  add_link_options(${QUILLBERRY_SANITIZER_FLAGS})
endif()

set(QUILLBERRY_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual)

function(quillberry_target target)
  target_compile_options(${target} PRIVATE ${QUILLBERRY_WARNINGS} $<$<BOOL:${QUILLBERRY_WERROR}>:-Werror>)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  else()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  endif()
endfunction()

# Sets RESULT to whether the target links Qt Widgets, directly or through the libraries it uses.
function(quillberry_reaches_widgets target result)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      set(current ${aliased})
    endif()
    if(current STREQUAL "Qt6::Widgets")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries ${current} ${property})
      if(libraries)
        foreach(library ${libraries})
          string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
          list(APPEND pending ${library})
        endforeach()
      endif()
    endforeach()
  endwhile()
  set(${result} FALSE PARENT_SCOPE)
endfunction()

# Fails the configuration when the target links Qt Widgets, directly or through the libraries it uses.
function(quillberry_forbid_widgets target)
  quillberry_reaches_widgets(${target} widgets)
  if(widgets)
    message(FATAL_ERROR "${target} must not link Qt Widgets, but reaches it through its libraries")
  endif()
endfunction()
