# Value encodings: plain C++ without Qt, shared by every part that talks to an instrument or
# writes its values into files. Included from src/link/CMakeLists.txt.
if(NOT TARGET encodings)
  add_library(encodings STATIC ${CMAKE_CURRENT_LIST_DIR}/Encodings.cpp)
  target_include_directories(encodings PUBLIC ${PROJECT_SOURCE_DIR}/src)
  manager_warnings(encodings)
endif()
