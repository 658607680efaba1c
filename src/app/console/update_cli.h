// The `update` subcommand's options on kr35ctl's command line.
#pragma once

#include <CLI/CLI.hpp>

#include "app/console/update_command.h"

namespace kr35 {

CLI::App* AddUpdateSubcommand(CLI::App& app, UpdateOptions& options);

}  // namespace kr35
