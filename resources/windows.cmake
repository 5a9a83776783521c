# The Windows program's folder, made by `cmake --install BUILD --prefix FOLDER` (tools/windows.sh
# does it): the program, the Qt libraries and plugins it loads, the compiler's runtime
# libraries, the default config.ini and sound, and the licence texts of what it ships and
# what is compiled into it.
# Nothing else is needed: every other library the program loads is part of Windows.
get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_prefix "${qt_core_dll}/../.." ABSOLUTE)

install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
              $<TARGET_FILE:Qt6::Network> DESTINATION .)
# Qt looks for its plugins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt6::QSchannelBackendPlugin> DESTINATION tls)

# The C++ runtime that the program and Qt were built with.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path "${path}" ABSOLUTE)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "The compiler's runtime library ${dll} was not found")
  endif()
  install(FILES "${path}" DESTINATION .)
endforeach()

# The defaults a user edits: config.ini and the sound.
install(FILES config.ini DESTINATION .)
install(FILES Sounds/chime.wav DESTINATION Sounds)

# Licences: Qt's (LGPL 3) with the third-party code it bundles, the GCC runtime's (GPL 3
# with the runtime library exception) and MinGW-w64's.
install(FILES windows/licenses-README.txt DESTINATION licenses RENAME README.txt)
install(DIRECTORY "${qt_prefix}/licenses/" DESTINATION licenses/Qt)
install(FILES /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright
        DESTINATION licenses/GCC RENAME copyright.txt)
install(FILES /usr/share/common-licenses/GPL-3 DESTINATION licenses/GCC RENAME GPL-3.txt)
install(FILES /usr/share/doc/mingw-w64-common/copyright
        DESTINATION licenses/MinGW-w64 RENAME copyright.txt)
# What is compiled into the program besides the HTML parser (whose licence its own build
# installs): the diff library dtl (BSD 3-clause).
install(FILES /usr/share/doc/libdtl-dev/copyright DESTINATION licenses/dtl
        RENAME copyright.txt)
