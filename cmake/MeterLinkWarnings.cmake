# Compiler warnings and sanitizers shared by every target of the project.
add_library(meterlink_options INTERFACE)
target_compile_options(meterlink_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(METERLINK_WERROR)
    target_compile_options(meterlink_options INTERFACE -Werror)
endif()
target_compile_definitions(meterlink_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER)

if(METERLINK_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()
if(METERLINK_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
