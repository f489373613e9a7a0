# Runs scripts/demo and checks that it wrote every screenshot as a non-empty PNG.
# cmake -DDEMO=<scripts/demo> -DOUT=<folder> -DBUILD=<build dir> -P check-demo.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env HALVEX_BUILD_DIR=${BUILD} ${DEMO} ${OUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "scripts/demo failed: ${status}")
endif()
set(expected 01-desktop 02-history-window 03-panel 04-panel-search 05-pasted-into-target
             06-panel-search-image-text)
foreach(name IN LISTS expected)
    set(png ${OUT}/${name}.png)
    if(NOT EXISTS ${png})
        message(FATAL_ERROR "missing screenshot ${png}")
    endif()
    file(SIZE ${png} size)
    file(READ ${png} signature LIMIT 8 HEX)
    if(size LESS 1000 OR NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "${png} is not a PNG screenshot (${size} bytes, starts ${signature})")
    endif()
    message(STATUS "${name}.png: ${size} bytes")
endforeach()
