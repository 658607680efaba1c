# The cross-build's nlohmann_json::nlohmann_json comes from dependencies.cmake.
set(nlohmann_json_FOUND TRUE)
