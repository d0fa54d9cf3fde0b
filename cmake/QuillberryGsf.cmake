# The engine loads libgsf when it first needs it (spreadsheet/container/gsf_library.h), by the run-time name of the
# library this build is configured against. Sets:
#   QUILLBERRY_GSF_SONAME   that name, "libgsf-1.so.114"
#   QUILLBERRY_GSF_PACKAGE  the Debian package that carries it, "libgsf-1-114": the package must depend on
#                           it by name, since no link to it is left for dpkg-shlibdeps to find
find_library(QUILLBERRY_GSF_LIBRARY NAMES gsf-1 HINTS ${GSF_LIBRARY_DIRS} REQUIRED)
execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${QUILLBERRY_GSF_LIBRARY}
                OUTPUT_VARIABLE gsf_headers RESULT_VARIABLE gsf_failed ERROR_QUIET)
string(REGEX MATCH "SONAME +([^ \n]+)" gsf_match "${gsf_headers}")
set(QUILLBERRY_GSF_SONAME "${CMAKE_MATCH_1}")
if(gsf_failed OR NOT QUILLBERRY_GSF_SONAME)
  message(FATAL_ERROR "Cannot read the run-time name of ${QUILLBERRY_GSF_LIBRARY}")
endif()
# Debian names a library's package after its SONAME, with a hyphen when the name ends in a digit.
string(REGEX MATCH "^lib(.+)\\.so\\.([0-9]+)$" gsf_match "${QUILLBERRY_GSF_SONAME}")
set(gsf_name "${CMAKE_MATCH_1}")
set(gsf_version "${CMAKE_MATCH_2}")
if(gsf_name MATCHES "[0-9]$")
  set(QUILLBERRY_GSF_PACKAGE "lib${gsf_name}-${gsf_version}")
else()
  set(QUILLBERRY_GSF_PACKAGE "lib${gsf_name}${gsf_version}")
endif()
