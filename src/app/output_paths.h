// The files a program writes (a recording, a trace, the simulated adapter's
// state) checked against the files it reads and against each other before
// any of them is opened: writing one over another would destroy it.
#pragma once

#include <string>
#include <vector>

namespace kr35 {

// A file named on the command line: the option that names it and its path
// (empty when the option is not given).
struct NamedPath {
  std::string option;
  std::string path;
};

// False with `error` naming both options when an output is an input or
// another output: the same file (device and inode) when both exist, or the
// same path when one is still to be created. A file that is both read and
// written (the state file) appears in both lists under the same option and
// is not compared with itself.
bool CheckOutputPaths(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputs,
                      std::string& error);

}  // namespace kr35
