# The exports keep their plain names (OpenSharedMemory, ReadSetting), as
# GetProcAddress callers ask for them, under either toolchain. The export
# lists name the stdcall symbols as MinGW's linker sees them (Name@bytes);
# MinGW strips the decoration from the exported names with --kill-at, while
# the Microsoft linker is handed the list with the decorations taken off,
# which it matches to the decorated symbols and exports as written.
function(plenara_plain_exports target def)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_link_options(${target} PRIVATE ${def} -Wl,--kill-at)
  else()
    file(READ ${def} listed)
    string(REGEX REPLACE "@[0-9]+" "" plain "${listed}")
    get_filename_component(name ${def} NAME)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/plain-${name} "${plain}")
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/plain-${name})
  endif()
endfunction()
