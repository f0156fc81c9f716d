# Warnings are an interface target so every target of the project opts in the same way.
add_library(qlv_warnings INTERFACE)
target_compile_options(qlv_warnings INTERFACE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
        -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough>)
if(QLV_WARNINGS_AS_ERRORS)
    target_compile_options(qlv_warnings INTERFACE -Werror)
endif()
