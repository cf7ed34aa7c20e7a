# Key and mouse input for window tests.
find_package(Qt6 COMPONENTS Test)
if(TARGET Qt6::Test AND TARGET tests_maintenance)
  target_link_libraries(tests_maintenance PRIVATE Qt6::Test)
endif()
