# Warnings apply to our own targets only, not to GoogleTest or asio.
function(tarnlet_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
