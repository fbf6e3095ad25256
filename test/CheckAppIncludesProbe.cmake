# Runs CheckAppIncludes.cmake on a small tree of its own: it must refuse a file of src/link
# that includes a header of src/app, and pass the same tree without it.
set(probe ${BUILD_DIR}/app-includes-probe)
file(REMOVE_RECURSE ${probe})
file(WRITE ${probe}/app/TMainForm.cpp "#include \"app/TMainForm.h\"\n")
file(WRITE ${probe}/link/Clean.cpp "#include \"state/MainView.h\"\n// #include \"app/TMainForm.h\" in a comment\n")
file(WRITE ${probe}/link/Bad.h "#pragma once\n  #  include <app/TGauge.h>\n")

function(run_check expect_fail)
    execute_process(COMMAND ${CMAKE_COMMAND} -DSRC_DIR=${probe} -P ${CMAKE_CURRENT_LIST_DIR}/CheckAppIncludes.cmake
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(expect_fail AND (rc EQUAL 0 OR NOT out MATCHES "link/Bad.h" OR out MATCHES "Clean.cpp|TMainForm.cpp"))
        message(FATAL_ERROR "the check did not name only link/Bad.h (${rc}):\n${out}")
    elseif(NOT expect_fail AND NOT rc EQUAL 0)
        message(FATAL_ERROR "the check refused a clean tree (${rc}):\n${out}")
    endif()
endfunction()

run_check(TRUE)
file(REMOVE ${probe}/link/Bad.h)
run_check(FALSE)
file(REMOVE_RECURSE ${probe})
