# The tests of one subsystem's folder: every <name>_test.cpp is its own executable and CTest entry
# "<area>.<name>", run offscreen. Files named e2e_*_test.cpp run against the instrument emulator in
# real time (label "realtime").
function(manager_area_tests area)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(source ${tests})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE test_support managerapp Qt6::Test ${ARGN})
    manager_warnings(${name})
    add_test(NAME ${area}.${name} COMMAND ${name})
    if(name MATCHES "^e2e_")
      target_link_libraries(${name} PRIVATE e2e_support)
      target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/e2e)
      add_dependencies(${name} instrument-sim)
      set_tests_properties(${area}.${name} PROPERTIES
        ENVIRONMENT "INSTRUMENT_SIM=$<TARGET_FILE:instrument-sim>;QT_QPA_PLATFORM=offscreen"
        LABELS "realtime" TIMEOUT 300)
    else()
      set_tests_properties(${area}.${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
    endif()
  endforeach()
endfunction()
