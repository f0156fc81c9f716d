# Sanitizers are an interface target linked by everything the project builds, so a sanitizer
# build instruments the libraries, the programs and the tests alike.
add_library(qlv_sanitizers INTERFACE)
if(QLV_SANITIZE)
    set(_qlv_san_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(qlv_sanitizers INTERFACE ${_qlv_san_flags})
    target_link_options(qlv_sanitizers INTERFACE ${_qlv_san_flags})
endif()
