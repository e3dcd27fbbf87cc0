# Configures, builds and runs the embedding project.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY}
                        -DTOLLVANE_SOURCE_DIR=${TOLLVANE_SOURCE_DIR}
                RESULT_VARIABLE rc)
if(rc)
    message(FATAL_ERROR "configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} -j 2 RESULT_VARIABLE rc)
if(rc)
    message(FATAL_ERROR "build failed")
endif()
execute_process(COMMAND ${BINARY}/embedding OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(rc OR NOT out STREQUAL "ok\n")
    message(FATAL_ERROR "embedding program failed: ${out}")
endif()
