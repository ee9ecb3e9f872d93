# Run by CPack's External generator once the install tree is staged: the archive is written by
# write_archive.py, whose entry order and times do not depend on the machine, then handed back
# to CPack as the package.
if(NOT CPACK_DRUMLO_PYTHON)
  message(FATAL_ERROR "python3 writes the archives; none was found when the build was configured")
endif()
set(archive "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}${CPACK_DRUMLO_ARCHIVE_SUFFIX}")
set(top "")
if(CPACK_DRUMLO_ARCHIVE_TOP)
  set(top "--top=${CPACK_PACKAGE_FILE_NAME}")
endif()
execute_process(
  COMMAND "${CPACK_DRUMLO_PYTHON}" "${CPACK_DRUMLO_ARCHIVE_WRITER}" ${top}
          "${CPACK_TEMPORARY_DIRECTORY}" "${archive}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "write_archive.py failed: ${result}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${archive}")
