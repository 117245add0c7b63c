# Cross toolchain for 64-bit Windows: MinGW-w64 with the POSIX thread model,
# so that std::thread and std::mutex work, and the runtime linked in statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PRAVIK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
