# 64-bit Windows: the same sources, for hosts whose Wine can only run 64-bit
# programs (a kernel without 32-bit support).
set(QUENBY_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
