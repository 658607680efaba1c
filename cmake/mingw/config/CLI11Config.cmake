# The cross-build's CLI11::CLI11 comes from dependencies.cmake.
set(CLI11_FOUND TRUE)
