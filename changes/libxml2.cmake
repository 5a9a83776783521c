# The HTML parser, libxml2's: Debian's library (pkg-config "libxml-2.0"), or, where the
# cache variable ORVELL_LIBXML2_SOURCE names its unpacked source (tools/libxml2-source.sh),
# compiled here into a static library: the fuzz build needs it instrumented, and the
# Windows build has no library of its own. Only what the HTML parser needs is built, from
# a file list of our own rather than libxml2's CMakeLists.txt, whose install rules would
# put its headers, tools and manuals into the program's folder.
set(ORVELL_LIBXML2_SOURCE "" CACHE PATH "libxml2's unpacked source, compiled into the program")
if(TARGET orvell_libxml2)
  return()
endif()
if(NOT ORVELL_LIBXML2_SOURCE)
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "A cross build compiles libxml2 from its source: "
                        "-DORVELL_LIBXML2_SOURCE=$(tools/libxml2-source.sh)")
  endif()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
  add_library(orvell_libxml2 INTERFACE)
  target_link_libraries(orvell_libxml2 INTERFACE PkgConfig::LIBXML2)
  return()
endif()

set(src ${ORVELL_LIBXML2_SOURCE})
if(NOT EXISTS ${src}/HTMLparser.c OR NOT EXISTS ${src}/include/libxml/xmlversion.h.in)
  message(FATAL_ERROR "ORVELL_LIBXML2_SOURCE=${src} holds no libxml2 source")
endif()
enable_language(C)
if(ORVELL_FUZZ AND NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ORVELL_FUZZ compiles libxml2 with clang: -DCMAKE_C_COMPILER=clang")
endif()
set(gen ${CMAKE_CURRENT_BINARY_DIR}/libxml2)

# xmlversion.h: the version, and the modules built. The HTML parser needs the tree module
# (its SAX2 defaults) and the push parser's helpers; no iconv, ICU, zlib, lzma, network,
# XPath, schemas or output. Thread support stays: pages are read in a worker thread.
file(STRINGS ${src}/configure.ac version_lines REGEX "^m4_define\\(\\[(MAJOR|MINOR|MICRO)_VERSION\\]")
foreach(part MAJOR MINOR MICRO)
  string(REGEX MATCH "${part}_VERSION\\], \\[?([0-9]+)" _ "${version_lines}")
  set(LIBXML_${part}_VERSION ${CMAKE_MATCH_1})
endforeach()
set(VERSION ${LIBXML_MAJOR_VERSION}.${LIBXML_MINOR_VERSION}.${LIBXML_MICRO_VERSION})
math(EXPR LIBXML_VERSION_NUMBER
     "${LIBXML_MAJOR_VERSION} * 10000 + ${LIBXML_MINOR_VERSION} * 100 + ${LIBXML_MICRO_VERSION}")
set(LIBXML_VERSION_EXTRA "")
set(MODULE_EXTENSION "${CMAKE_SHARED_LIBRARY_SUFFIX}")
foreach(module AUTOMATA C14N CATALOG DEBUG DOCB EXPR FTP HTTP ICONV ICU ISO8859X LEGACY LZMA
               MEM_DEBUG MODULES OUTPUT PATTERN READER REGEXPS RUN_DEBUG SCHEMAS SCHEMATRON
               THREAD_ALLOC TRIO UNICODE VALID WRITER XINCLUDE XPATH XPTR ZLIB)
  set(WITH_${module} 0)
endforeach()
foreach(module HTML PUSH SAX1 THREADS TREE)
  set(WITH_${module} 1)
endforeach()
configure_file(${src}/include/libxml/xmlversion.h.in ${gen}/include/libxml/xmlversion.h @ONLY)

# config.h: what the system has. The sources include each header only where config.h
# says it is there.
include(CheckIncludeFile)
include(CheckFunctionExists)
include(CheckCSourceCompiles)
foreach(header ctype.h dlfcn.h errno.h fcntl.h float.h inttypes.h limits.h malloc.h math.h
               signal.h stdarg.h stdint.h stdlib.h strings.h string.h sys/stat.h
               sys/time.h sys/timeb.h sys/types.h time.h unistd.h)
  string(TOUPPER "HAVE_${header}" var)
  string(REGEX REPLACE "[/.]" "_" var ${var})
  check_include_file(${header} ${var})
endforeach()
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  # Windows has threads of its own, which libxml2 uses where pthread.h is not found.
  check_include_file(pthread.h HAVE_PTHREAD_H)
endif()
foreach(function fprintf ftime gettimeofday isascii localtime printf rand rand_r snprintf sprintf
                 srand sscanf stat strftime time va_copy vfprintf vsnprintf vsprintf __va_copy)
  string(TOUPPER "HAVE_${function}" var)
  check_function_exists(${function} ${var})
endforeach()
check_c_source_compiles("void __attribute__((destructor)) f(void) {}
                         int main(void) { return 0; }" HAVE_ATTRIBUTE_DESTRUCTOR)
if(HAVE_ATTRIBUTE_DESTRUCTOR)
  set(ATTRIBUTE_DESTRUCTOR "__attribute__((destructor))")
endif()
check_c_source_compiles("#include <stdarg.h>
                         void a(va_list* ap) {}
                         int main(void) { va_list ap1, ap2; a(&ap1); ap2 = (va_list) ap1; return 0; }"
                        VA_LIST_IS_ARRAY_TEST)
if(VA_LIST_IS_ARRAY_TEST)
  set(VA_LIST_IS_ARRAY FALSE)
else()
  set(VA_LIST_IS_ARRAY TRUE)
endif()
set(STDC_HEADERS 1)
set(PACKAGE "libxml2")
set(PACKAGE_VERSION ${VERSION})
configure_file(${src}/config.h.cmake.in ${gen}/config.h)

# The library's own file list, less the modules left out: a file of a module that is off
# compiles to nothing.
add_library(orvell_libxml2 STATIC
  ${src}/buf.c ${src}/chvalid.c ${src}/dict.c ${src}/encoding.c ${src}/entities.c
  ${src}/error.c ${src}/globals.c ${src}/hash.c ${src}/HTMLparser.c ${src}/HTMLtree.c
  ${src}/list.c ${src}/parser.c ${src}/parserInternals.c ${src}/SAX.c ${src}/SAX2.c
  ${src}/threads.c ${src}/tree.c ${src}/uri.c ${src}/valid.c ${src}/xmlIO.c
  ${src}/xmlmemory.c ${src}/xmlstring.c)
set_target_properties(orvell_libxml2 PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_include_directories(orvell_libxml2 PRIVATE ${gen})
target_include_directories(orvell_libxml2 SYSTEM PUBLIC ${gen}/include ${src}/include)
target_compile_definitions(orvell_libxml2 PUBLIC LIBXML_STATIC PRIVATE HAVE_CONFIG_H)
target_compile_definitions(orvell_libxml2 PRIVATE _REENTRANT)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  target_compile_definitions(orvell_libxml2 PRIVATE HAVE_WIN32_THREADS)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(orvell_libxml2 PUBLIC Threads::Threads)
endif()
# The project's settings bring the fuzzer's and sanitizers' instrumentation; the parser's
# own warnings are its authors' business, not a reason to stop the build.
target_link_libraries(orvell_libxml2 PRIVATE orvell_settings)
target_compile_options(orvell_libxml2 PRIVATE -w)
# Its licence (MIT) goes with the program it is compiled into, with Debian's list of the
# copyright holders (a few files have notices of their own).
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  install(FILES ${src}/Copyright DESTINATION licenses/libxml2 RENAME Copyright.txt)
  if(EXISTS ${src}/debian-copyright.txt)
    install(FILES ${src}/debian-copyright.txt DESTINATION licenses/libxml2)
  endif()
endif()
