# A library of the program optimized as the release is (-O3) also where the
# build keeps debug information, so that the native benchmarks measure the
# code that ships.
function(tarnlet_optimized_as_released target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo>:-O3>)
endfunction()

# A layer of the program: its portable sources, plus those of the chosen back
# end (folder win32/ or posix/). A layer with no sources for this build makes
# no library.
function(tarnlet_layer name)
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/${TARNLET_BACKEND}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
  tarnlet_warnings(${name})
  tarnlet_optimized_as_released(${name})
endfunction()
