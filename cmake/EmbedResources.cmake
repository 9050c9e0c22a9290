# Compiles a program's .rc with windres into a .res image and embeds that image in a
# C++ array, so that the synthetic platform answers string-table look-ups from the very
# resources the Windows program carries.
find_program(BOXTOOLS_WINDRES
    NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres
    REQUIRED)

function(boxtools_embed_resources target rc_file symbol)
    get_filename_component(rc_name ${rc_file} NAME_WE)
    get_filename_component(rc_dir ${rc_file} DIRECTORY)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${rc_name}.res)
    set(cpp ${CMAKE_CURRENT_BINARY_DIR}/${rc_name}_res.cpp)
    file(GLOB rc_deps ${rc_dir}/*.h ${BOXTOOLS_VERSION_DIR}/*.h ${BOXTOOLS_VERSION_DIR}/*.manifest)
    add_custom_command(OUTPUT ${res}
        COMMAND ${BOXTOOLS_WINDRES} -I ${rc_dir} -I ${BOXTOOLS_VERSION_DIR} -O res -i ${rc_file} -o ${res}
        DEPENDS ${rc_file} ${rc_deps}
        COMMENT "Compiling ${rc_name}.rc to a resource image")
    add_custom_command(OUTPUT ${cpp}
        COMMAND ${CMAKE_COMMAND} -DIN=${res} -DOUT=${cpp} -DSYMBOL=${symbol}
                -P ${PROJECT_SOURCE_DIR}/cmake/bin2cpp.cmake
        DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/bin2cpp.cmake)
    target_sources(${target} PRIVATE ${cpp})
endfunction()
