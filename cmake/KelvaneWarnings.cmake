# kelvane_warnings(target): the project's warning set, as errors when KELVANE_WERROR is on.
function(kelvane_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- $<$<BOOL:${KELVANE_WERROR}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                               $<$<BOOL:${KELVANE_WERROR}>:-Werror>)
    endif()
endfunction()

# kelvane_lean(target): product code needs neither exceptions nor run-time type information.
function(kelvane_lean target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /GR- /EHs-c-)
        target_compile_definitions(${target} PRIVATE _HAS_EXCEPTIONS=0)
    else()
        target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    endif()
endfunction()

# kelvane_sanitize(target): AddressSanitizer and UndefinedBehaviorSanitizer for native builds.
function(kelvane_sanitize target)
    if(KELVANE_SANITIZE AND NOT WIN32)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                               -fno-sanitize-recover=all -fno-sanitize=vptr
                               -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
