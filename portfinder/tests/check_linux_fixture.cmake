# Lays out a recorded Linux system, runs portiq on it and compares the report with the
# expected one (written by hand from the description); what portiq says on standard
# error with the expected notes, if any (the fixture's folder written as ROOT). Then
# replays the machine portiq dumped in portiq-sim: the same report, and the same log as
# portiq's --log.
include(${CMAKE_CURRENT_LIST_DIR}/lay_linux_fixture.cmake)
execute_process(
    COMMAND env LC_ALL=${LOCALE} ${PORTIQ} --sysfs-root ${root}/sys --proc-asound-root ${root}/proc/asound
        --dev-root ${root}/dev --udev-data-root ${root}/run/udev/data
        --log ${WORK_DIR}/portiq.log --dump ${WORK_DIR}/dump.scn
    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "portiq exited with ${result}: ${errors}")
endif()
file(READ ${EXPECTED} expected)
if(NOT output STREQUAL expected)
    file(WRITE ${WORK_DIR}/actual.out "${output}")
    message(FATAL_ERROR "portiq printed other than ${EXPECTED}; see ${WORK_DIR}/actual.out")
endif()
string(REPLACE "${root}" "ROOT" errors "${errors}")
set(expected_errors "")
if(EXPECTED_ERRORS)
    file(READ ${EXPECTED_ERRORS} expected_errors)
endif()
if(NOT errors STREQUAL expected_errors)
    file(WRITE ${WORK_DIR}/actual.err "${errors}")
    message(FATAL_ERROR "portiq's notes differ from '${EXPECTED_ERRORS}'; see ${WORK_DIR}/actual.err")
endif()

execute_process(COMMAND ${SIM} ${WORK_DIR}/dump.scn OUTPUT_VARIABLE replay ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "portiq-sim couldn't replay the dump (${result}): ${errors}")
endif()
string(REGEX REPLACE "^=== Message box [^\n]*\n" "" replay "${replay}")
string(FIND "${replay}" "=== List file" list)
string(SUBSTRING "${replay}" 0 ${list} report)
if(NOT report STREQUAL expected)
    file(WRITE ${WORK_DIR}/replay.out "${replay}")
    message(FATAL_ERROR "portiq-sim's replay of the dump reports otherwise; see ${WORK_DIR}/replay.out")
endif()
string(FIND "${replay}" "=== Diagnostic log ===\n" at)
math(EXPR at "${at} + 23")
string(SUBSTRING "${replay}" ${at} -1 replay_log)
file(READ ${WORK_DIR}/portiq.log log)
if(NOT replay_log STREQUAL log)
    file(WRITE ${WORK_DIR}/replay.log "${replay_log}")
    message(FATAL_ERROR "portiq-sim's log of the dump differs from portiq's; see ${WORK_DIR}/replay.log")
endif()

# With JSON: portiq --json on the system with LINKS in place under /dev ("link|tty": the
# link leads to /dev/tty, whether or not that is the port the rules give it): each field,
# as JSON names them (a path of keys and indexes, then the value; NULL for null).
if(JSON)
    foreach(link IN LISTS LINKS)
        string(REPLACE "|" ";" link "${link}")
        list(GET link 0 name)
        list(GET link 1 tty)
        get_filename_component(folder ${root}/dev/${name} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(RELATIVE_PATH target ${folder} ${root}/dev/${tty})  # as udev makes them
        file(CREATE_LINK ${target} ${root}/dev/${name} SYMBOLIC)
    endforeach()
    execute_process(
        COMMAND env LC_ALL=${LOCALE} ${PORTIQ} --json --sysfs-root ${root}/sys --proc-asound-root ${root}/proc/asound
            --dev-root ${root}/dev --udev-data-root ${root}/run/udev/data
        OUTPUT_VARIABLE json RESULT_VARIABLE result)
    foreach(check IN LISTS JSON)
        string(REPLACE "|" ";" check "${check}")
        list(POP_BACK check expected)
        string(JSON type ERROR_VARIABLE error TYPE "${json}" ${check})
        if(type STREQUAL "NULL")
            set(value NULL)
        else()
            string(JSON value ERROR_VARIABLE error GET "${json}" ${check})
        endif()
        if(NOT result EQUAL 0 OR error OR NOT value STREQUAL expected)
            file(WRITE ${WORK_DIR}/actual.json "${json}")
            message(FATAL_ERROR "portiq --json (${result}): ${check} is '${value}', not '${expected}' ${error}; see ${WORK_DIR}/actual.json")
        endif()
    endforeach()
endif()
