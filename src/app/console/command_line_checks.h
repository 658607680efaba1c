// Checks of kr35ctl's command line beyond what the option parser does.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace kr35 {

// An option that names a file given an explicitly empty value ("--usb=" or
// "--usb ''") is a usage error: it must neither fall back to the default
// behaviour nor take the next argument as its value.
bool CheckNoEmptyValues(int argc, char** argv, std::string& error);

// For a command line whose first word is no subcommand: names the word and
// lists the subcommands. Empty when there is no such word.
std::string UnknownSubcommandText(int argc, char** argv, const CLI::App& app);

// `monitor --duration`: a positive finite number of seconds, or "forever" (-1).
bool ParseDuration(const std::string& text, double& seconds, std::string& error);

}  // namespace kr35
