# Runs lupdate over Lunaveil's sources into a copy of a translation file and fails when a text
# has no finished translation there (one lupdate found new, or one left unfinished).
file(COPY_FILE ${TS_FILE} ${WORK_DIR}/translation-check.ts)
execute_process(
    COMMAND ${LUPDATE} -locations none -no-obsolete ${SOURCE_DIR}/app ${SOURCE_DIR}/resources
        -ts ${WORK_DIR}/translation-check.ts
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed: ${output}")
endif()
file(STRINGS ${WORK_DIR}/translation-check.ts unfinished REGEX "type=\"unfinished\"")
list(LENGTH unfinished count)
if(count GREATER 0)
    message(FATAL_ERROR "${count} texts lack a translation in ${TS_FILE}; run `ninja update_translations` "
                        "and translate them:\n${output}")
endif()
