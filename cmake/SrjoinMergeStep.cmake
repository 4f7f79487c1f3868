# The build step of srjoin_merge (SrjoinConfig.cmake): runs Srcheck on the inputs where SRCHECK
# is given, then Srjoin, shows what they printed, and fails when the check found an error or a
# file it could not read (exit 1 or 2), or when Srjoin failed or skipped an input. Run in the
# folder the names are relative to:
#   cmake -DSRJOIN=<Srjoin> [-DSRCHECK=<Srcheck>] -DSRJOIN_INPUTS=<a.mot+b.mot+...>
#         -DSRJOIN_OUTPUT=<image.mot> -P SrjoinMergeStep.cmake
# Srjoin skips an input that does not open with a message holding "->Skip" and still publishes
# the image and exits 0, as scripts expect of it; a build must not take that image for a whole
# one, so it is removed: a later build makes it again instead of finding it up to date.
foreach(variable IN ITEMS SRJOIN SRJOIN_INPUTS SRJOIN_OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "SrjoinMergeStep.cmake: -D${variable}=... is missing")
  endif()
endforeach()

cmake_path(SET output "${SRJOIN_OUTPUT}")
if(DEFINED SRCHECK)
  execute_process(
    COMMAND "${SRCHECK}" "${SRJOIN_INPUTS}"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE printed ECHO_OUTPUT_VARIABLE
    ERROR_VARIABLE printed ECHO_ERROR_VARIABLE)
  if(NOT status STREQUAL "0")
    # An image of an earlier build would otherwise be taken for this one.
    file(REMOVE "${output}")
    message(FATAL_ERROR "srjoin_merge: Srcheck failed (${status}) on ${SRJOIN_INPUTS}; "
                        "${SRJOIN_OUTPUT} is not made")
  endif()
endif()
execute_process(
  COMMAND "${SRJOIN}" "${SRJOIN_INPUTS}" "${SRJOIN_OUTPUT}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE printed ECHO_OUTPUT_VARIABLE
  ERROR_VARIABLE printed ECHO_ERROR_VARIABLE)
string(FIND "${printed}" "->Skip" skip)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "srjoin_merge: Srjoin failed (${status}) on ${SRJOIN_OUTPUT}")
elseif(NOT skip EQUAL -1)
  file(REMOVE "${output}")
  message(FATAL_ERROR "srjoin_merge: an input did not open (->Skip above); "
                      "${SRJOIN_OUTPUT}, which lacks it, is removed")
endif()
