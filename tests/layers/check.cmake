# A wrong include across the layers does not build. Each case compiles one include line with the
# flags a layer's own sources are built with (from compile_commands.json): the headers of the layer
# and of those below it are found, the headers of a layer above or beside it are not.
#   cmake -DCOMPILE_COMMANDS=... -DPROBES=<folder> -P check.cmake

# layer: a source of the layer, whose flags the probes borrow
set(layers core sweep/SweepPlan.cpp engine ping/Ping.cpp widgets widgets/oxForm.cpp windows main/Unit1.cpp cli cli/main.cpp
    commands cli/PingCommand.cpp helper helper/HelperServer.cpp)

# layer, header, expected: "found" or "missing"
set(cases
    core sweep/SweepPlan.h found
    core platform/IcmpSocket.h found
    core history/HistoryStore.h found
    core ping/Ping.h missing
    core ping/AsyncLookup.h missing
    core widgets/Events.h missing
    core flows/RePingWalk.h missing
    core <QObject> missing
    core <QtCore/QObject> missing
    core helper/EchoChannel.h missing
    engine ping/Ping.h found
    engine platform/IcmpSocket.h found
    engine widgets/Events.h missing
    engine ui/ExceptionReport.h missing
    engine main/Unit1.h missing
    engine flows/RePingWalk.h found
    engine echo/EchoTerms.h found
    engine <QWidget> missing
    widgets widgets/oxForm.h found
    widgets ping/Ping.h missing
    widgets ui/ExceptionReport.h missing
    widgets dialogs/Unit2.h missing
    windows main/Unit1.h found
    windows dialogs/Unit5.h found
    windows ui/ExceptionReport.h found
    cli sweep/SweepPlan.h found
    cli history/HistoryStore.h found
    cli ping/Ping.h missing
    cli widgets/Events.h missing
    cli ui/ExceptionReport.h missing
    cli <QObject> missing
    cli <QtCore/QObject> missing
    commands ping/Ping.h found
    commands widgets/Events.h missing
    commands ui/ExceptionReport.h missing
    commands <QWidget> missing
    commands <QtWidgets/QWidget> found
    helper helper/EchoChannel.h found
    helper platform/IcmpSocket.h found
    helper ping/Ping.h missing
    helper <QObject> missing)

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
# Qt's headers all sit under one folder, so a layer that may use Qt Core can name any module's headers
# through it: what each object file was built from, as the build recorded it, tells.
# layer's objects, a header path they must not have read
set(forbidden tozelo_core.dir /qt6/ tozelo-cli.dir /qt6/ tozelo_engine.dir /QtWidgets/ tozelo_engine.dir /QtGui/)
get_filename_component(build_directory ${COMPILE_COMMANDS} DIRECTORY)
execute_process(COMMAND ${MAKE_PROGRAM} -C ${build_directory} -t deps RESULT_VARIABLE status OUTPUT_VARIABLE deps
    ERROR_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the build's dependencies with ${MAKE_PROGRAM}")
endif()
string(REPLACE "\n" ";" lines "${deps}")
while(forbidden)
    list(POP_FRONT forbidden objects header)
    set(object "")
    set(found 0)
    foreach(line ${lines})
        if(line MATCHES "^([^ ].*): #deps")
            set(object "${CMAKE_MATCH_1}")
        elseif(object MATCHES "/${objects}/" AND line MATCHES "${header}")
            message("FAILED: ${object} was built from ${line}")
            math(EXPR found "${found} + 1")
        endif()
    endforeach()
    if(found EQUAL 0)
        message("ok: no object of ${objects} was built from a header under ${header}")
    endif()
    math(EXPR failures "${failures} + ${found}")
endwhile()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} include cases went wrong")
endif()
