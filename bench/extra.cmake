# OpenSSL's Blowfish is the reference of the cipher benchmark only; the program never links it.
find_package(OpenSSL REQUIRED)
target_link_libraries(bench_blowfish PRIVATE OpenSSL::Crypto)
target_compile_options(bench_blowfish PRIVATE -Wno-deprecated-declarations)

# The network benchmarks start the test servers of tests/support.
foreach(name bench_smtp bench_ftp_get bench_send_window bench_ftp_receive bench_smtp_tls bench_ftp_tls bench_outcomes bench_connections bench_bounces bench_footer)
  if(TARGET ${name})
    target_link_libraries(${name} PRIVATE testsupport)
  endif()
endforeach()
