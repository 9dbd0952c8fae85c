# WebAssembly with Debian's Emscripten. CTest runs the programs that tests
# start (the simulator, the unit tests) under node; Emscripten's own default
# for that passes node a flag that node 20 no longer takes.
find_program(VELORA_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELORA_NODE})
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
# Linking runs Emscripten's JavaScript optimiser, which needs Debian's acorn
# from /usr/share/nodejs: Debian's node looks there, a node from elsewhere
# only when told.
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
