# The explanations of the launcher's boxes, raising places and error codes, with the Windows error
# names of the toolchain's winerror.h (no Windows calls): built in both trees for the package tool
# and its tests.
if(NOT TARGET linkmoor_explanations)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(LINKMOOR_WINERROR_H /usr/share/mingw-w64/include/winerror.h CACHE FILEPATH
      "The mingw-w64 header the Windows error names are taken from")
  set(names_inc ${CMAKE_BINARY_DIR}/generated/windows_error_names.inc)
  add_custom_command(OUTPUT ${names_inc}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/windows_error_names.py
            ${LINKMOOR_WINERROR_H} ${names_inc}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/windows_error_names.py ${LINKMOOR_WINERROR_H}
    VERBATIM)
  add_library(linkmoor_explanations STATIC
    ${CMAKE_CURRENT_LIST_DIR}/explanations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/windows_error_names.cpp
    ${names_inc})
  target_include_directories(linkmoor_explanations PUBLIC ${CMAKE_SOURCE_DIR}
                             PRIVATE ${CMAKE_BINARY_DIR}/generated)
endif()
