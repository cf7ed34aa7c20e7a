# Key and mouse input for window tests.
find_package(Qt6 REQUIRED COMPONENTS Test)
foreach(folder controls core net settings sending intake maintenance app)
  if(TARGET tests_${folder}_ui)
    target_link_libraries(tests_${folder}_ui PRIVATE Qt6::Test)
  endif()
endforeach()
