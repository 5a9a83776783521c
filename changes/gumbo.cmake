# The HTML parser, gumbo: Debian's library (pkg-config "gumbo"), or, where the cache
# variable ORVELL_GUMBO_SOURCE names its unpacked source (tools/gumbo-source.sh), compiled
# here into a static library: the fuzz build needs it instrumented, and the Windows build
# has no library of its own.
set(ORVELL_GUMBO_SOURCE "" CACHE PATH "Gumbo's unpacked source, compiled into the program")
if(TARGET orvell_gumbo)
  return()
endif()
if(ORVELL_GUMBO_SOURCE)
  enable_language(C)
  if(ORVELL_FUZZ AND NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVELL_FUZZ compiles gumbo with clang: -DCMAKE_C_COMPILER=clang")
  endif()
  file(GLOB gumbo_sources CONFIGURE_DEPENDS ${ORVELL_GUMBO_SOURCE}/src/*.c)
  if(NOT gumbo_sources)
    message(FATAL_ERROR "ORVELL_GUMBO_SOURCE=${ORVELL_GUMBO_SOURCE} holds no src/*.c")
  endif()
  add_library(orvell_gumbo STATIC ${gumbo_sources})
  set_target_properties(orvell_gumbo PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON
                                                C_EXTENSIONS ON)
  # The project's settings bring the fuzzer's and sanitizers' instrumentation; the parser's
  # own warnings are its authors' business, not a reason to stop the build.
  target_link_libraries(orvell_gumbo PRIVATE orvell_settings)
  target_compile_options(orvell_gumbo PRIVATE -w)
  target_include_directories(orvell_gumbo SYSTEM PUBLIC ${ORVELL_GUMBO_SOURCE}/src)
elseif(CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "A cross build compiles gumbo from its source: "
                      "-DORVELL_GUMBO_SOURCE=$(tools/gumbo-source.sh)")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GUMBO REQUIRED IMPORTED_TARGET gumbo)
  add_library(orvell_gumbo INTERFACE)
  target_link_libraries(orvell_gumbo INTERFACE PkgConfig::GUMBO)
endif()
