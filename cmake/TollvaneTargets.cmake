# Compile settings shared by every target of this project. They are applied per target, so
# that a project embedding this one with add_subdirectory keeps its own flags.
function(tollvane_target_defaults target)
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
    if(WIN32)
        # The product must not depend on any MinGW runtime DLL.
        target_link_options(${target} PUBLIC -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
