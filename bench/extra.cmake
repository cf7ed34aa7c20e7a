find_package(OpenSSL REQUIRED)
target_link_libraries(bench_blowfish PRIVATE OpenSSL::Crypto)
target_compile_options(bench_blowfish PRIVATE -Wno-deprecated-declarations)
