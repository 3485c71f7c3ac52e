# Installing Cratevale like a Linux desktop game, and packing it as a Debian package.
#
# Layout under the install prefix:
#   lib/games/cratevale/    the executable beside its three packs (the game reads them from its
#                           own folder, found through its real path)
#   games/cratevale         a relative link to the executable, so the command is on the path
#   share/applications/     the desktop entry
#   share/icons/hicolor/    the icon at 48, 64, 128 and 256 pixels, drawn at build time
#   share/metainfo/         the AppStream description
#   share/man/man6/         the manual page
#   share/doc/cratevale/    the copyright file (both licences, in the Debian machine-readable
#                           format) and the changelog
# Nothing is installed for the game to write into: without a preferences file beside the
# executable it keeps its files in the player's home folder.

set(CRATEVALE_APP_ID com.torvelin.cratevale)
set(CRATEVALE_GAME_FOLDER lib/games/cratevale)
# The metainfo's home page; its screenshots are this address + docs/screenshot-*.png.
set(CRATEVALE_WEB_BASE "https://cratevale.example/" CACHE STRING
    "Web address (ending in /) where the repository's docs/ folder is published")
set(CRATEVALE_ICON_SIZES 48 64 128 256)
# Who answers for the package: its Maintainer field, the copyright file's contact and the
# changelog's signature.
set(CRATEVALE_MAINTAINER "Torvelin game studio <packages@torvelin.example>")
set(packaging_source ${CMAKE_SOURCE_DIR}/packaging)
set(packaging_build ${CMAKE_BINARY_DIR}/packaging)

# The icon, drawn by the icon tool in the game's style. The same drawing gives the same bytes,
# so the icons are made at build time rather than kept in the repository.
set(icon_files "")
foreach(size IN LISTS CRATEVALE_ICON_SIZES)
  list(APPEND icon_files ${packaging_build}/icons/${size}x${size}/apps/cratevale.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_files}
  COMMAND icon ${packaging_build}/icons ${CRATEVALE_ICON_SIZES}
  DEPENDS icon
  COMMENT "Drawing the desktop icons"
  VERBATIM)

# The manual page, compressed without a time stamp so that packages are reproducible.
add_custom_command(
  OUTPUT ${packaging_build}/cratevale.6.gz
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${packaging_source}/cratevale.6
          ${packaging_build}/cratevale.6.gz
  DEPENDS ${packaging_source}/cratevale.6
  COMMENT "Compressing the manual page"
  VERBATIM)
# The changelog, compressed the same way.
add_custom_command(
  OUTPUT ${packaging_build}/changelog.gz
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${packaging_source}/changelog
          ${packaging_build}/changelog.gz
  DEPENDS ${packaging_source}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(desktop_files ALL
                  DEPENDS ${icon_files} ${packaging_build}/cratevale.6.gz ${packaging_build}/changelog.gz)

# The copyright file: the header and file paragraphs of packaging/copyright.in, then the full
# texts of both licences, taken from LICENSE (the MIT text) and data/LICENSE (the CC-BY-4.0
# text) so that the package always carries the repository's own licence texts.
function(cratevale_license_paragraph variable file first_line)
  file(READ ${file} text)
  string(FIND "${text}" "${first_line}" start)
  if(start LESS 0)
    message(FATAL_ERROR "${file} holds no line \"${first_line}\"")
  endif()
  string(SUBSTRING "${text}" ${start} -1 text)
  string(STRIP "${text}" text)
  # Every line is indented by one blank; an empty line becomes " ." (the format's blank line).
  string(REGEX REPLACE "\n" "\n " text " ${text}")
  string(REGEX REPLACE "\n \n" "\n .\n" text "${text}")
  string(REGEX REPLACE "\n \n" "\n .\n" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()
cratevale_license_paragraph(CRATEVALE_MIT_TEXT ${CMAKE_SOURCE_DIR}/LICENSE
                            "Permission is hereby granted")
cratevale_license_paragraph(CRATEVALE_CC_BY_TEXT ${CMAKE_SOURCE_DIR}/data/LICENSE
                            "Creative Commons Attribution 4.0 International Public License")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/data/LICENSE)
configure_file(${packaging_source}/copyright.in ${packaging_build}/copyright @ONLY)

configure_file(${packaging_source}/${CRATEVALE_APP_ID}.metainfo.xml.in
               ${packaging_build}/${CRATEVALE_APP_ID}.metainfo.xml @ONLY)

# The command on the path: a link relative to its own folder, so it survives DESTDIR and
# packaging unchanged.
file(MAKE_DIRECTORY ${packaging_build}/games)
file(CREATE_LINK ../${CRATEVALE_GAME_FOLDER}/cratevale ${packaging_build}/games/cratevale SYMBOLIC)

install(TARGETS cratevale RUNTIME DESTINATION ${CRATEVALE_GAME_FOLDER})
# A stripped install (the package's) also drops the compilers' version notes, as Debian's
# own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CRATEVALE_GAME_FOLDER}/cratevale\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(FILES ${CRATEVALE_PACK_DIR}/Cratevale.data ${CRATEVALE_PACK_DIR}/Cratevale.maps
              ${CRATEVALE_PACK_DIR}/Cratevale.languages
        DESTINATION ${CRATEVALE_GAME_FOLDER})
install(FILES ${packaging_build}/games/cratevale DESTINATION games)
install(FILES ${packaging_source}/${CRATEVALE_APP_ID}.desktop DESTINATION share/applications)
install(DIRECTORY ${packaging_build}/icons/ DESTINATION share/icons/hicolor)
install(FILES ${packaging_build}/${CRATEVALE_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${packaging_build}/cratevale.6.gz DESTINATION share/man/man6)
install(FILES ${packaging_build}/copyright ${packaging_build}/changelog.gz
        DESTINATION share/doc/cratevale)

# The Debian package: `cpack -G DEB` in the build folder. dpkg-shlibdeps finds the runtime
# libraries the executable needs and names their packages in Depends.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cratevale)
set(CPACK_PACKAGE_VENDOR "Torvelin game studio")
set(CPACK_PACKAGE_CONTACT "${CRATEVALE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "crate-pushing puzzle game")
set(CPACK_PACKAGE_DESCRIPTION
    "Steer the keeper over the board and push every crate onto a target;\neach solved level unlocks the next. Played with the keyboard or a\ngamepad, full screen or in a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# Tests: install into a temporary DESTDIR, check the tree and the package. The sanitizer build
# leaves them out: they test the files laid down, not the code.
if(NOT CRATEVALE_SANITIZE)
  # The package must depend on every library the whole game uses.
  set(install_test_arguments ${CMAKE_BINARY_DIR} --full-game)
  add_test(NAME install_layout
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${install_test_arguments})
  # Both tests install from the same build folder, which holds cmake's install manifest.
  set_tests_properties(install_layout PROPERTIES LABELS install RESOURCE_LOCK install_manifest
                       TIMEOUT 600)
  add_test(NAME install_run
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/installed_run_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_run PROPERTIES LABELS "install;x11"
                       RESOURCE_LOCK "xserver;install_manifest" TIMEOUT 300)
endif()
