add_library(esfuerzo_warnings INTERFACE)
target_compile_options(esfuerzo_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast)
if(WARNINGS_AS_ERRORS OR DEFINED ENV{CI})
    target_compile_options(esfuerzo_warnings INTERFACE -Werror)
endif()
target_compile_definitions(esfuerzo_warnings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS)
if(ENABLE_SANITIZERS)
    target_compile_options(esfuerzo_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(esfuerzo_warnings INTERFACE -fsanitize=address,undefined)
endif()
if(ESF_FUZZ)
    target_compile_options(esfuerzo_warnings INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(esfuerzo_warnings INTERFACE -fsanitize=address,undefined)
endif()
