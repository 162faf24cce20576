# asio comes from Debian's libasio-dev. The mingw build must never see the
# rest of /usr/include, so both builds reach asio through a folder of links.
set(TARNLET_ASIO_INCLUDE "${CMAKE_BINARY_DIR}/asio-include")
file(MAKE_DIRECTORY "${TARNLET_ASIO_INCLUDE}")
foreach(entry asio asio.hpp)
  if(NOT EXISTS "/usr/include/${entry}")
    message(FATAL_ERROR "/usr/include/${entry} is missing: run scripts/setup")
  endif()
  file(CREATE_LINK "/usr/include/${entry}" "${TARNLET_ASIO_INCLUDE}/${entry}" SYMBOLIC)
endforeach()
add_library(asio INTERFACE)
target_include_directories(asio SYSTEM INTERFACE "${TARNLET_ASIO_INCLUDE}")
target_compile_definitions(asio INTERFACE ASIO_STANDALONE)
if(TARNLET_SANITIZE STREQUAL "thread")
  # asio completes handlers behind a standalone fence that TSan cannot model;
  # g++ says so wherever asio is compiled.
  target_compile_options(asio INTERFACE -Wno-tsan)
endif()
if(WIN32)
  target_link_libraries(asio INTERFACE ws2_32 mswsock)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(asio INTERFACE Threads::Threads)
endif()

# GoogleTest is built from Debian's source tree inside each build, so that the
# mingw build gets a library of its own.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
