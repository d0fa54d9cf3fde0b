# The engine is one static library a folder (spreadsheet/<level>/). The levels are ordered; a library may
# use only libraries of lower levels, and configuring fails when one names a higher or an equal one.
set(QUILLBERRY_ENGINE_LEVELS model container biff format formula render pages io)

# quillberry_engine_library(<level> SOURCES files... [USES libraries...] [PRIVATE libraries...])
# makes qb_spreadsheet_<level> from SOURCES and every .cpp and .h below the level's folder.
function(quillberry_engine_library level)
  cmake_parse_arguments(E "" "" "SOURCES;USES;PRIVATE" ${ARGN})
  list(FIND QUILLBERRY_ENGINE_LEVELS ${level} own)
  if(own EQUAL -1)
    message(FATAL_ERROR "${level} is not an engine level: ${QUILLBERRY_ENGINE_LEVELS}")
  endif()
  foreach(library ${E_USES} ${E_PRIVATE})
    if(library MATCHES "^qb_spreadsheet_(.+)$")
      list(FIND QUILLBERRY_ENGINE_LEVELS ${CMAKE_MATCH_1} theirs)
      if(NOT theirs LESS own)
        message(FATAL_ERROR "qb_spreadsheet_${level} must not use ${library}: only lower levels")
      endif()
    elseif(library MATCHES "^qb_")
      message(FATAL_ERROR "qb_spreadsheet_${level} must not use ${library}: the engine uses no other folder")
    endif()
  endforeach()
  file(GLOB_RECURSE own_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(target qb_spreadsheet_${level})
  qt_add_library(${target} STATIC ${E_SOURCES} ${own_sources})
  target_link_libraries(${target} PUBLIC ${E_USES} PRIVATE ${E_PRIVATE})
  quillberry_target(${target})
endfunction()
