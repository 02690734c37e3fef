# The Windows program: Sorabune.exe, statically linked so that it needs only Windows' own DLLs, and the
# ready-to-run folder dist/ beside it (the program, its page about.html, its sound file and the empty
# "★MailData" folder that it expects but never creates).
#
# Run with `cmake -DEXE=... -DABOUT=... -DSOURCE_DIR=... -DDIST=... -P windows-program.cmake`, this same
# file lays out dist/ after each build.

if(CMAKE_SCRIPT_MODE_FILE)
    file(MAKE_DIRECTORY "${DIST}/Sound" "${DIST}/★MailData")
    file(COPY "${EXE}" "${ABOUT}" DESTINATION "${DIST}")
    set(sound "${SOURCE_DIR}/resources/Sound/Kouka.mid")
    if(EXISTS "${sound}")
        file(COPY "${sound}" DESTINATION "${DIST}/Sound")
    elseif(NOT EXISTS "${DIST}/Sound/Kouka.mid")
        # A one-note stand-in so the program still has a playable file.
        message(WARNING "resources/Sound/Kouka.mid is missing; dist/ gets a one-note stand-in")
        find_program(PYTHON3 python3 REQUIRED)
        execute_process(COMMAND "${PYTHON3}" -c [[
import sys
track = bytes([0, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0, 0xFF, 0x2F, 0])
head = b"MThd" + (6).to_bytes(4, "big") + bytes([0, 0, 0, 1, 0, 0x60])
open(sys.argv[1], "wb").write(head + b"MTrk" + len(track).to_bytes(4, "big") + track)
]] "${DIST}/Sound/Kouka.mid" COMMAND_ERROR_IS_FATAL ANY)
    endif()
    return()
endif()

enable_language(RC)

set(SORABUNE_RESOURCE_FILES
    ${CMAKE_SOURCE_DIR}/resources/Sorabune.manifest
    ${CMAKE_SOURCE_DIR}/resources/sorabune.ico
    ${CMAKE_SOURCE_DIR}/resources/background.bmp
    ${CMAKE_SOURCE_DIR}/resources/small.gif
    ${CMAKE_SOURCE_DIR}/resources/frames/girl0.gif
    ${CMAKE_SOURCE_DIR}/resources/frames/girl1.gif
    ${CMAKE_SOURCE_DIR}/resources/frames/girl2.gif
    ${CMAKE_SOURCE_DIR}/resources/frames/girl3.gif)
set(SORABUNE_RC ${CMAKE_SOURCE_DIR}/resources/Sorabune.rc)
# windres reads these files itself; CMake's scanner only follows #include.
set_source_files_properties(${SORABUNE_RC} PROPERTIES OBJECT_DEPENDS "${SORABUNE_RESOURCE_FILES}")

add_executable(Sorabune WIN32 ${CMAKE_SOURCE_DIR}/app/main_win.cpp ${SORABUNE_RC})
# The mail check's TLS brings secur32 and crypt32 (Windows' own) through nmail, loaded on first use.
target_link_libraries(Sorabune PRIVATE app)
target_include_directories(Sorabune PRIVATE $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SOURCE_DIR}/resources>)
target_link_options(Sorabune PRIVATE -static -municode -mwindows $<$<CONFIG:Release>:-s>)

# The page "作者" opens, with this build's version.
set(SORABUNE_ABOUT ${CMAKE_BINARY_DIR}/about.html)
configure_file(${CMAKE_SOURCE_DIR}/resources/about.html ${SORABUNE_ABOUT} @ONLY)
# A changed page relinks the program, so that the step below copies it into dist/.
set_property(TARGET Sorabune APPEND PROPERTY LINK_DEPENDS ${SORABUNE_ABOUT})

set(SORABUNE_DIST ${CMAKE_BINARY_DIR}/dist)
add_custom_command(TARGET Sorabune POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:Sorabune> -DABOUT=${SORABUNE_ABOUT}
            -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DDIST=${SORABUNE_DIST} -P ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Laying out ${SORABUNE_DIST}"
    VERBATIM)
