# The release zip for Windows users: `cmake --build --preset windows --target package` writes
# Sorabune-<version>-win64.zip. It holds the program folder Sorabune\ (Sorabune.exe, about.html,
# Sound\Kouka.mid and the empty ★MailData\ the program needs but never creates) and, beside it,
# はじめにお読みください.txt. Included from the top-level CMakeLists.txt of the Windows build, after the
# program's own target (app/, cmake/windows-program.cmake) exists.

set(SORABUNE_PROGRAM_FOLDER Sorabune)
set(SORABUNE_README "はじめにお読みください.txt")

# The text file is written UTF-8 with a byte-order mark and CR LF line ends: with the mark, Notepad on every
# Windows version shows it right whatever the system's language. Shift-JIS shows right only on a Japanese
# system, and UTF-8 without the mark only on Windows 10 1903 and later.
set(readme_source ${CMAKE_SOURCE_DIR}/resources/${SORABUNE_README})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${readme_source})
file(READ ${readme_source} readme_text)
string(ASCII 239 187 191 utf8_bom)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package/${SORABUNE_README} CONTENT "${utf8_bom}${readme_text}"
     @ONLY NEWLINE_STYLE CRLF)

# Named one by one, so that settings a developer's test runs left in dist/★MailData never ship.
install(TARGETS Sorabune RUNTIME DESTINATION ${SORABUNE_PROGRAM_FOLDER})
install(FILES ${CMAKE_BINARY_DIR}/about.html DESTINATION ${SORABUNE_PROGRAM_FOLDER})
install(FILES ${CMAKE_BINARY_DIR}/dist/Sound/Kouka.mid DESTINATION ${SORABUNE_PROGRAM_FOLDER}/Sound)
install(DIRECTORY DESTINATION "${SORABUNE_PROGRAM_FOLDER}/★MailData")
install(FILES ${CMAKE_BINARY_DIR}/package/${SORABUNE_README} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Sorabune)
set(CPACK_PACKAGE_VENDOR Sorabune)
set(CPACK_PACKAGE_FILE_NAME Sorabune-${PROJECT_VERSION}-win64)
# The zip's top level is the program folder and the text file; "Extract all" makes the outer folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
