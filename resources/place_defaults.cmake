# Puts each default file beside the program where none is there yet; a file that
# is already in place (the user's config.ini, a sound of the user's own under the
# default's name) is left as it is.
#   cmake -DSOURCE_DIR=DIR -DDEST_DIR=DIR -DFILES="config.ini;Sounds/chime.wav" -P place_defaults.cmake
# Also included by the install script, with the same three variables set.
foreach(name IN LISTS FILES)
  set(target "${DEST_DIR}/${name}")
  # A dangling link is the user's too: EXISTS alone would not see it.
  if(EXISTS "${target}" OR IS_SYMLINK "${target}")
    continue()
  endif()
  get_filename_component(folder "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${SOURCE_DIR}/${name}" "${target}")
  message(STATUS "Default placed: ${target}")
endforeach()
