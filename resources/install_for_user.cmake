# Run by `cmake --install` (see resources/CMakeLists.txt), with ORVELL_SOURCE_DIR,
# ORVELL_BINARY_DIR, ORVELL_PROGRAM_DIR (relative to the prefix), ORVELL_DEFAULT_FILES
# and ORVELL_PART set:
#   program    the defaults in the program's folder where missing, the link on the
#              PATH and the launcher in the application menu
#   autostart  the same launcher in the user's autostart folder
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# The launcher's Exec is the program's path in double quotes (spaces are common in
# home folders), with the characters that are special inside them escaped.
set(ORVELL_EXEC "${CMAKE_INSTALL_PREFIX}/${ORVELL_PROGRAM_DIR}/orvell")
string(REPLACE "\\" "\\\\\\\\" ORVELL_EXEC "${ORVELL_EXEC}")
foreach(special "\"" "`" "$")
  string(REPLACE "${special}" "\\\\${special}" ORVELL_EXEC "${ORVELL_EXEC}")
endforeach()
string(REPLACE "%" "%%" ORVELL_EXEC "${ORVELL_EXEC}")
configure_file("${ORVELL_SOURCE_DIR}/orvell.desktop.in" "${ORVELL_BINARY_DIR}/orvell.desktop"
               @ONLY)

if(ORVELL_PART STREQUAL "program")
  # config.ini and Sounds/ are the user's once they are there: a second install (an
  # upgrade) keeps them.
  set(SOURCE_DIR "${ORVELL_SOURCE_DIR}")
  set(DEST_DIR "${root}/${ORVELL_PROGRAM_DIR}")
  set(FILES "${ORVELL_DEFAULT_FILES}")
  include("${ORVELL_SOURCE_DIR}/place_defaults.cmake")

  file(MAKE_DIRECTORY "${root}/bin")
  message(STATUS "Linking: ${root}/bin/orvell -> ../${ORVELL_PROGRAM_DIR}/orvell")
  file(CREATE_LINK "../${ORVELL_PROGRAM_DIR}/orvell" "${root}/bin/orvell" SYMBOLIC)

  file(INSTALL "${ORVELL_BINARY_DIR}/orvell.desktop" DESTINATION "${root}/share/applications")
elseif(ORVELL_PART STREQUAL "autostart")
  set(config_home "$ENV{XDG_CONFIG_HOME}")
  if(NOT config_home)
    set(config_home "$ENV{HOME}/.config")
  endif()
  file(INSTALL "${ORVELL_BINARY_DIR}/orvell.desktop" DESTINATION "$ENV{DESTDIR}${config_home}/autostart")
endif()
