# Reads the linker map of PlenaraDLL.dll and fails when it holds members of
# libstdc++, libgcc_eh or the threads library: each of them leaves something
# behind every time the program frees the module.
file(READ "${MAP}" map)
foreach(library libstdc\\+\\+\\.a libsupc\\+\\+\\.a libgcc_eh\\.a libpthread\\.a libwinpthread)
  if(map MATCHES "${library}\\(")
    string(REPLACE "\\" "" name "${library}")
    message(FATAL_ERROR "PlenaraDLL.dll links ${name}: the module must not carry the C++ run-time")
  endif()
endforeach()
