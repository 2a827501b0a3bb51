# Shared compile settings, applied per target through vpc_target_defaults().
add_library(vpc_options INTERFACE)
add_library(vpc::options ALIAS vpc_options)
target_compile_options(vpc_options INTERFACE
  -Wall -Wextra -Wpedantic -Wformat=2 -Wshadow -Wnon-virtual-dtor
  -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
  -Wimplicit-fallthrough -fno-common)
if(VPC_WARNINGS_AS_ERRORS)
  target_compile_options(vpc_options INTERFACE -Werror)
endif()

# Hardening for every non-sanitizer build.
option(VPC_HARDENING "Hardening flags (_GLIBCXX_ASSERTIONS, fortify, stack protector)" ON)
if(VPC_HARDENING)
  target_compile_definitions(vpc_options INTERFACE _GLIBCXX_ASSERTIONS)
  target_compile_options(vpc_options INTERFACE -fstack-protector-strong
    $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3>)
  target_link_options(vpc_options INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()

option(VPC_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VPC_SANITIZE)
  target_compile_options(vpc_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vpc_options INTERFACE -fsanitize=address,undefined)
endif()

# A coverage build (--coverage in CMAKE_CXX_FLAGS, as the coverage preset
# gives): gcov's runtime goes into every binary and writes its counts when
# a program exits. Tests that check what a program leaves behind ask.
string(FIND "${CMAKE_CXX_FLAGS}" "--coverage" VPC_COVERAGE_AT)
set(VPC_COVERAGE OFF)
if(VPC_COVERAGE_AT GREATER -1)
  set(VPC_COVERAGE ON)
endif()

# RUNPATH entries, relative to where each kind of file lands.
set(VPC_RUNPATH_LIB "$ORIGIN")
set(VPC_RUNPATH_BIN "$ORIGIN/../lib")
set(VPC_RUNPATH_MODULE "$ORIGIN/../../lib")

function(vpc_target_defaults target)
  target_link_libraries(${target} PRIVATE vpc::options)
endfunction()
