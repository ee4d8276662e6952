# The installer error's message choice (no Windows calls): built in both trees, tested natively.
if(NOT TARGET linkmoor_error_messages)
  add_library(linkmoor_error_messages STATIC ${CMAKE_CURRENT_LIST_DIR}/error_messages.cpp)
  target_include_directories(linkmoor_error_messages PUBLIC ${CMAKE_SOURCE_DIR})
endif()
