# Fails when git would show as new a file that the program writes into the folder it runs in
# (./run.sh from the repository's folder starts it in the source tree), reports printed to
# PDF under their default name included. SRC_DIR: the source tree.
find_program(GIT git)
if(NOT GIT OR NOT EXISTS "${SRC_DIR}/.git")
    message(STATUS "skipped: not a git checkout")
    return()
endif()
set(shown "")
foreach(name Options.dat params.txt receive.txt transmit.txt phonems.pcm Title.pcm print.pdf
             "Сведения о заводских номерах.pdf")
    execute_process(COMMAND ${GIT} -C ${SRC_DIR} check-ignore -q --no-index "${name}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        list(APPEND shown "${name}")
    endif()
endforeach()
if(shown)
    list(JOIN shown ", " text)
    message(FATAL_ERROR "git shows the program's files as new: ${text}")
endif()
