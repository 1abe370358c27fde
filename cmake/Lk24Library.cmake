# lk24_library(<name> DEPS <targets...> [EXCLUDE <files...>])
# Builds every .cpp of the calling folder, but the excluded ones, into a
# static library <name>.
# A folder without sources yet defines no target, so the tree configures
# while a subsystem is still being written.
function(lk24_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  # Windows counterparts sit beside the POSIX files; each builds only on its system.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "Posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "Win32\\.cpp$")
  endif()
  if(NOT sources MATCHES "\\.cpp")
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  foreach(dep IN LISTS ARG_DEPS)
    # A project library that has no sources yet is left out until it has.
    if(dep MATCHES "^lk24_" AND NOT TARGET ${dep})
      continue()
    endif()
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
endfunction()
