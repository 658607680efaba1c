#include "app/console/update_cli.h"

namespace kr35 {

CLI::App* AddUpdateSubcommand(CLI::App& app, UpdateOptions& options) {
  auto* update = app.add_subcommand(
      "update",
      "Bring adapters to the built-in images (or the HEX files): plan, then update in "
      "parallel, following each restart and checking the versions after it");
  update->add_flag("--all", options.all, "Every adapter present (default: the one chosen)");
  update->add_flag("--dry-run", options.dryRun,
                   "Print the plan only; nothing is sent but the versions queries");
  update->add_flag("--force", options.force, "Send the images also to adapters that are current");
  update->add_option("--jobs", options.jobs, "Adapters updated at once (default 4)")
      ->check(CLI::Range(1, 64));
  update->add_option("--report", options.reportPath,
                     "Write what happened to each adapter to FILE (JSON) when the run ends");
  update->add_flag("--yes", options.assumeYes, "Answer OK to the confirmation of the plan");
  update->add_option("--usb", options.usbHex, "Intel HEX file of the USB part");
  update->add_option("--dsp", options.dspHex, "Intel HEX file of the DSP part");
  return update;
}

}  // namespace kr35
