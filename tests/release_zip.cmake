# The release ZIP as cpack makes it holds both programs and the two files beside them, at its top.
# Run with -DBUILD_DIR=<the Windows build tree>.
set(out ${BUILD_DIR}/release-zip-test)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP -B ${out}
                WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE packed OUTPUT_QUIET)
if(NOT packed EQUAL 0)
    message(FATAL_ERROR "cpack failed: ${packed}")
endif()
file(GLOB zip ${out}/*.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing)
string(REPLACE "\n" ";" names "${listing}")
list(SORT names)
list(REMOVE_ITEM names "")
if(NOT names STREQUAL "README.TXT;nosky.jpg;skyswap.com;skyswap.exe")
    message(FATAL_ERROR "the release ZIP holds: ${names}")
endif()
file(REMOVE_RECURSE ${out})
