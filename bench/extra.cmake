# The network benchmarks start the test servers of tests/support.
foreach(name bench_smtp bench_ftp_get)
  if(TARGET ${name})
    target_link_libraries(${name} PRIVATE testsupport)
  endif()
endforeach()
