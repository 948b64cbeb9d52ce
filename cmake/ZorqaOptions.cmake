# Compiler flags shared by every target of ours (not by third-party code).
add_library(zq_options INTERFACE)
target_compile_options(zq_options INTERFACE -Wall -Wextra)
target_include_directories(zq_options INTERFACE
  ${PROJECT_SOURCE_DIR}/src
  ${PROJECT_SOURCE_DIR}/src/include)

if(ZQ_WINDOWS)
  # Windows 7 API level and up; Wine's dbghelp reads DWARF 4, not GCC 12's default DWARF 5.
  target_compile_definitions(zq_options INTERFACE _WIN32_WINNT=0x0601 WINVER=0x0601
    WIN32_LEAN_AND_MEAN NOMINMAX _CRT_SECURE_NO_WARNINGS)
  target_compile_options(zq_options INTERFACE -gdwarf-4)
  # Executables and DLLs must run with nothing beside them.
  target_link_options(zq_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(zq_options INTERFACE ZQ_PLATFORM_WINDOWS=1)
else()
  target_compile_definitions(zq_options INTERFACE ZQ_PLATFORM_POSIX=1)
endif()

if(ZQ_SANITIZE AND ZQ_HOST)
  set(ZQ_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${ZQ_SANITIZER_FLAGS})
  add_link_options(${ZQ_SANITIZER_FLAGS})
endif()

# Fuzz configuration (clang): every library is instrumented for coverage and checked by ASan and
# UBSan; the fuzz targets themselves add -fsanitize=fuzzer for libFuzzer's main. Undefined
# behaviour aborts, as in the host build: a report alone would let the run pass.
if(ZQ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZQ_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined)
endif()
