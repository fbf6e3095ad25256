# Runs the program with no display: it must refuse with code 2 and give the command the
# README and run.sh give (xvfb-run -a, so that a second run finds a free display).
execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out TIMEOUT 20)
if(NOT rc EQUAL 2)
    message(FATAL_ERROR "exit code ${rc}, expected 2: ${err}")
endif()
if(NOT err MATCHES "xvfb-run -a ./build/vesk")
    message(FATAL_ERROR "no hint to xvfb-run -a: ${err}")
endif()

# An X display named, but no Wayland display and no platform chosen: the program does not
# refuse, it goes on to the window system (here a display that is not there).
set(ENV{DISPLAY} ":31999")
execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out TIMEOUT 20)
if(err MATCHES "xvfb-run")
    message(FATAL_ERROR "refused with an X display named: ${err}")
endif()
