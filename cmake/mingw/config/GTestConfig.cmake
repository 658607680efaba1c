# The cross-build's GoogleTest targets come from dependencies.cmake.
set(GTest_FOUND TRUE)
