# Project-wide warning flags, applied to Korvex's own targets through korvex_warnings().
add_library(korvex_warnings INTERFACE)
target_compile_options(korvex_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
  -Wimplicit-fallthrough)
if(KORVEX_WERROR)
  target_compile_options(korvex_warnings INTERFACE -Werror)
endif()
