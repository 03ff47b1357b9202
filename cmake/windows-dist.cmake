# Makes the Windows release archive; run by `cmake -P` from the build.
# In: EXE (the built program), STRIP, SOURCE_DIR, NAME (the archive's name
# and its top folder), OUT_DIR.
# The archive holds the program without its debug information, which stays
# in the build's own Quenby.exe, and text files with Windows line ends.
set(stage ${OUT_DIR}/dist)
set(top ${stage}/${NAME})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${top})

execute_process(COMMAND ${STRIP} --strip-all -o ${top}/Quenby.exe ${EXE}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not strip ${EXE}")
endif()

foreach(pair "ui/win32/README.txt=README.txt" "LICENSE=LICENSE.txt"
             "ui/win32/THIRD-PARTY-NOTICES.txt=THIRD-PARTY-NOTICES.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${SOURCE_DIR}/${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${top}/${to} "${text}")
endforeach()

file(REMOVE ${OUT_DIR}/${NAME}.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT_DIR}/${NAME}.zip
                        --format=zip ${NAME}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${OUT_DIR}/${NAME}.zip")
endif()
