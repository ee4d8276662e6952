# The launcher's portable core (no Windows calls): built in both trees, tested natively.
if(NOT TARGET linkmoor_launcher_core)
  add_library(linkmoor_launcher_core STATIC ${CMAKE_CURRENT_LIST_DIR}/technician_id.cpp)
  target_include_directories(linkmoor_launcher_core PUBLIC ${CMAKE_SOURCE_DIR})
endif()
