# A wrong include across the layers does not build. Each case compiles one include line with the
# flags a layer's own sources are built with (from compile_commands.json): the headers of the layer
# and of those below it are found, the headers of a layer above or beside it are not.
#   cmake -DCOMPILE_COMMANDS=... -DPROBES=<folder> -P check.cmake

# layer: a source of the layer, whose flags the probes borrow
set(layers core ping/SweepPlan.cpp engine ping/Ping.cpp widgets widgets/oxForm.cpp windows main/Unit1.cpp cli cli/main.cpp
    commands cli/PingCommand.cpp)

# layer, header, expected: "found" or "missing"
set(cases
    core ping/SweepPlan.h found
    core platform/IcmpSocket.h found
    core ping/Ping.h missing
    core platform/AsyncLookup.h missing
    core widgets/Events.h missing
    core <QObject> missing
    engine ping/Ping.h found
    engine platform/IcmpSocket.h found
    engine widgets/Events.h missing
    engine ui/ExceptionReport.h missing
    engine main/Unit1.h missing
    engine <QWidget> missing
    widgets widgets/oxForm.h found
    widgets ping/Ping.h missing
    widgets ui/ExceptionReport.h missing
    widgets dialogs/Unit2.h missing
    windows main/Unit1.h found
    windows dialogs/Unit5.h found
    windows ui/ExceptionReport.h found
    cli ping/SweepPlan.h found
    cli ping/Ping.h missing
    cli widgets/Events.h missing
    cli ui/ExceptionReport.h missing
    cli <QObject> missing
    commands ping/Ping.h found
    commands widgets/Events.h missing
    commands ui/ExceptionReport.h missing
    commands <QWidget> missing)

file(READ ${COMPILE_COMMANDS} commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")

# The compiler and flags of the layer's source, without its output, its dependency file and the
# compiler cache in front.
function(flags_of source out_dir out_args)
    foreach(i RANGE ${last})
        string(JSON file GET "${commands}" ${i} file)
        if(file MATCHES "/${source}$")
            string(JSON command GET "${commands}" ${i} command)
            string(JSON directory GET "${commands}" ${i} directory)
            separate_arguments(words UNIX_COMMAND "${command}")
            set(args)
            set(skip_next FALSE)
            foreach(word ${words})
                if(skip_next)
                    set(skip_next FALSE)
                elseif(word MATCHES "^-(o|c|MT|MF)$")
                    set(skip_next TRUE)
                elseif(NOT word STREQUAL "-MD" AND NOT word MATCHES "ccache$")
                    list(APPEND args "${word}")
                endif()
            endforeach()
            set(${out_dir} "${directory}" PARENT_SCOPE)
            set(${out_args} "${args}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "no compile command for ${source} in ${COMPILE_COMMANDS}")
endfunction()

while(layers)
    list(POP_FRONT layers layer source)
    flags_of(${source} ${layer}_directory ${layer}_args)
endwhile()

file(MAKE_DIRECTORY ${PROBES})
set(failures 0)
set(index 0)
list(LENGTH cases length)
while(index LESS length)
    list(SUBLIST cases ${index} 3 case)
    list(GET case 0 layer)
    list(GET case 1 header)
    list(GET case 2 expected)
    math(EXPR index "${index} + 3")

    set(directory ${${layer}_directory})
    set(args ${${layer}_args})
    if(header MATCHES "^<")
        set(line "#include ${header}")
    else()
        set(line "#include \"${header}\"")
    endif()
    string(MAKE_C_IDENTIFIER "${layer}_${header}" name)
    set(probe ${PROBES}/${name}.cpp)
    file(WRITE ${probe} "${line}\n")
    execute_process(COMMAND ${args} -fsyntax-only ${probe} WORKING_DIRECTORY ${directory}
        RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
    string(REGEX REPLACE "[<>]" "" bare "${header}")
    if(expected STREQUAL "found" AND status EQUAL 0)
        message("ok: ${layer} sees ${header}")
    elseif(expected STREQUAL "missing" AND NOT status EQUAL 0 AND errors MATCHES "${bare}: No such file")
        message("ok: ${layer} does not see ${header}")
    else()
        message("FAILED: ${layer} and ${header}: expected ${expected}, the compiler said (${status}):\n${errors}")
        math(EXPR failures "${failures} + 1")
    endif()
endwhile()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} include cases went wrong")
endif()
