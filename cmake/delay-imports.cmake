# Delay-loaded system DLLs for the Windows build. The program needs the browser object, the default
# browser, dial-up and sound only when the user asks for them, so those DLLs (and the DLLs they pull in)
# are loaded on the first call instead of at start-up, where Wine spends a good share of its start on
# loading and initialising them. The calls stay ordinary typed calls.
#
# sorabune_delay_import(TARGET dll...) makes a delay-import library for each DLL from mingw-w64's own
# import library (every function it exports) and links it to TARGET in place of the usual one.

find_program(SORABUNE_DLLTOOL NAMES ${CMAKE_CXX_COMPILER_TARGET}-dlltool x86_64-w64-mingw32-dlltool REQUIRED)
find_program(SORABUNE_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

function(sorabune_delay_import target)
    set(folder ${CMAKE_BINARY_DIR}/delayimp)
    file(MAKE_DIRECTORY ${folder})
    foreach(dll IN LISTS ARGN)
        set(delaylib ${folder}/lib${dll}_delay.a)
        if(NOT EXISTS ${delaylib})
            find_library(SORABUNE_IMPLIB_${dll} NAMES ${dll} REQUIRED)
            execute_process(COMMAND ${SORABUNE_NM} --defined-only ${SORABUNE_IMPLIB_${dll}}
                            OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            # Each function has an import thunk "__imp_Name"; the names make the module definition.
            string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" thunks "${symbols}")
            list(REMOVE_DUPLICATES thunks)
            list(TRANSFORM thunks REPLACE "^__imp_" "    ")
            list(JOIN thunks "\n" exports)
            file(WRITE ${folder}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
            # dlltool names its temporary files after the whole output path, which a deep build folder makes
            # longer than a file name may be; run it in the folder with short names of our own.
            execute_process(COMMAND ${SORABUNE_DLLTOOL} --input-def ${dll}.def --dllname ${dll}.dll
                                    --output-delaylib lib${dll}_delay.a --temp-prefix ${dll}
                            WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
        endif()
        target_link_libraries(${target} PUBLIC ${delaylib})
    endforeach()
endfunction()
