# Compile settings shared by every target of this project. They are applied per target, so
# that a project embedding this one with add_subdirectory keeps its own flags.
# tollvane_target_defaults(target [PRODUCT]): PRODUCT marks code that ships in Tollvane.exe,
# which on Windows is built without the C++ runtime's exception and type machinery, and with
# each function in its own section so the linker can drop what is not called.
function(tollvane_target_defaults target)
    cmake_parse_arguments(ARG "PRODUCT" "" "" ${ARGN})
    target_compile_features(${target} PUBLIC cxx_std_17)
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra)
        if(TOLLVANE_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(TOLLVANE_FUZZ)
            target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
        endif()
        if(TOLLVANE_SANITIZE)
            target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                                                     -fno-sanitize-recover=all
                                                     -fno-omit-frame-pointer)
            target_link_options(${target} PUBLIC -fsanitize=address,undefined)
        endif()
    endif()
    if(WIN32 AND ARG_PRODUCT)
        target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
                                                 -ffunction-sections -fdata-sections)
    endif()
    if(WIN32)
        # The product must not depend on any MinGW runtime DLL.
        target_link_options(${target} PUBLIC -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
