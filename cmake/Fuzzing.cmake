# Fuzz targets are built two ways. With QLV_BUILD_FUZZERS (clang), they are libFuzzer programs,
# and everything the build compiles, the salvage core included, is instrumented for coverage,
# AddressSanitizer and UndefinedBehaviorSanitizer, so that a fault anywhere under a target
# stops the run with the input that caused it. Otherwise, with any compiler, each target gets
# a small main that feeds it the seed corpus, and the corpus becomes an ordinary test.
#
# A fuzz target links qlv_fuzzing to get whichever of the two applies.
add_library(qlv_fuzzing INTERFACE)

if(QLV_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The fuzz targets need clang (libFuzzer); configure with the fuzz preset.")
    endif()
    set(_qlv_fuzz_instrumentation -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(qlv_sanitizers INTERFACE ${_qlv_fuzz_instrumentation})
    target_link_options(qlv_sanitizers INTERFACE -fsanitize=address,undefined)
    target_link_options(qlv_fuzzing INTERFACE -fsanitize=fuzzer)
else()
    target_sources(qlv_fuzzing INTERFACE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
endif()
