# Writes the header that carries the version into every program: the project's version and,
# when the sources are a git checkout of their own, the commit they were built from. Run at
# every build, so that a new commit is seen without configuring again; the header is rewritten
# only when its text changes, so that nothing is recompiled otherwise.
# usage: cmake -DVERSION=1.1 -DSOURCE_DIR=... -DTEMPLATE=... -DOUTPUT=... -P version_stamp.cmake
set(QVLINK_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND)
    # Only the sources' own checkout counts: a source tree unpacked inside some other
    # repository must not carry that repository's commit.
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --show-toplevel
        OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE_DIR}" source)
    endif()
    if(status EQUAL 0 AND top STREQUAL source)
        execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=10 HEAD
            OUTPUT_VARIABLE QVLINK_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
endif()
set(QVLINK_VERSION "${VERSION}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
