# The shipped Windows binaries carry no debug information. After each link,
# the DWARF sections and the symbol table are copied into NAME.debug beside
# the binary and removed from it (the symbol table alone is about 1 MB of the
# DLL; exports and relocations live in sections of their own and stay); the
# binary keeps a .gnu_debuglink naming that file (with its CRC), by which gdb
# finds the symbols again. The binary is stripped where the build put it, so
# the tests under Wine run exactly what the packages ship.
function(bolvarin_split_debug_info target)
  set(binary $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${binary} ${binary}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-unneeded --add-gnu-debuglink=${binary}.debug ${binary}
    COMMENT "Moving the debug information of ${target} into its .debug file"
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${binary}.debug)
endfunction()
