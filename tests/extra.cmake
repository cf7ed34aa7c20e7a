find_package(Qt6 REQUIRED COMPONENTS Test)
if(TARGET tests_settings)
  target_link_libraries(tests_settings PRIVATE Qt6::Test)
endif()
