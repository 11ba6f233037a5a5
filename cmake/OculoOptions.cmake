# Warnings as errors for the system's own code, on every target.
add_compile_options(-Wall -Wextra -Werror -Wno-unused-parameter)

if(WIN32)
    # The SDK's headers need these before anything includes them.
    add_compile_definitions(STRSAFE_NO_DEPRECATE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
endif()

set(OCULO_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")
if(OCULO_SANITIZE)
    add_compile_options(-fsanitize=${OCULO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${OCULO_SANITIZE})
endif()

# Shared libraries and modules are linked with --no-undefined, except under
# clang's ASan, whose runtime is linked into programs only: there the
# libraries' sanitizer symbols come from the program that loads them.
set(OCULO_NO_UNDEFINED -Wl,--no-undefined)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND OCULO_SANITIZE MATCHES "address")
    set(OCULO_NO_UNDEFINED "")
endif()
