# Run by cpack on its staging folder before the package is put together:
# strips the executable as Debian's own tools do, which also drops the
# .comment and .note sections that plain strip leaves behind. The version
# block lives in an allocated section and stays.
set(program "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/brevalto-pro")
if(NOT EXISTS "${program}")
  message(FATAL_ERROR "nothing to strip at ${program}")
endif()
execute_process(
  COMMAND "${CPACK_BREVALTO_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "strip failed on ${program}")
endif()
