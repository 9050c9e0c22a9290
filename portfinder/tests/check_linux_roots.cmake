# portiq on what can't be read: roots that are no sysfs (a path that doesn't exist, a
# device node, a folder of something else) and a recorded /proc/asound that is missing
# give exit status 3 and a note naming the root; then the hostile fixture run under
# strace, where no device node or FIFO may be opened (skipped without strace).
include(${CMAKE_CURRENT_LIST_DIR}/lay_linux_fixture.cmake)
foreach(roots "/nonexistent;/nonexistent" "/dev/zero;/dev/zero" "/proc/self;/proc/self"
              "${root}/sys --proc-asound-root /nonexistent;/nonexistent")
    list(GET roots 0 arguments)
    list(GET roots 1 named)
    separate_arguments(arguments)
    execute_process(COMMAND ${PORTIQ} --sysfs-root ${arguments}
        OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
    if(NOT result EQUAL 3 OR NOT errors MATCHES "^portiq: ${named}: [^\n]*nothing was read\n$" OR NOT output STREQUAL "")
        message(FATAL_ERROR "portiq --sysfs-root ${arguments}: status ${result}, printed '${output}', noted '${errors}'")
    endif()
endforeach()

find_program(STRACE strace)
if(NOT STRACE)
    message("strace isn't installed: the opened files were not checked")
    return()
endif()
# LeakSanitizer can't work under a tracer: the sanitizer builds leave it out of this run.
execute_process(COMMAND env "ASAN_OPTIONS=$ENV{ASAN_OPTIONS}:detect_leaks=0"
        ${STRACE} -f -e trace=open,openat,openat2,creat -o ${WORK_DIR}/strace.log
        ${PORTIQ} --sysfs-root ${root}/sys --proc-asound-root ${root}/proc/asound
    OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE result)
file(STRINGS ${WORK_DIR}/strace.log opens REGEX "open")
list(LENGTH opens count)
if(NOT result EQUAL 0 OR count LESS 10)
    message(FATAL_ERROR "strace of portiq gave status ${result} and ${count} opens; see ${WORK_DIR}/strace.log")
endif()
foreach(node 1-2/product 1-2.1/manufacturer 1-2.1/product 1-4/manufacturer)
    set(opened ${opens})
    list(FILTER opened INCLUDE REGEX "/${node}\"")
    if(opened)
        message(FATAL_ERROR "portiq opened ${node}, a device node or FIFO: ${opened}")
    endif()
endforeach()
