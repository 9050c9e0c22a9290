# Included by the Linux fixtures' checks: lays out DESCRIPTION (with DESCRIPTORS) afresh
# under WORK_DIR/root with the sysfs-fixture program FIXTURE; sets root.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(root ${WORK_DIR}/root)
execute_process(COMMAND ${FIXTURE} ${root} ${DESCRIPTORS} ${DESCRIPTION} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "sysfs-fixture couldn't lay out ${DESCRIPTION} (${result})")
endif()
