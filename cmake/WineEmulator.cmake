# Windows test programs of a cross build run under Wine, through a wrapper that owns a Wine
# prefix inside the build folder and installs the simulated driver library into it.
set(KELVANE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build")
set(KELVANE_SIM_DLL "${CMAKE_BINARY_DIR}/tools/nvapi-sim/nvapi64.dll")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
