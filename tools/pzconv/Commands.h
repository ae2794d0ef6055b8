#pragma once

#include "Options.h"

#include <iosfwd>
#include <string>
#include <vector>

class cDllManager;

namespace pzconv {

// Each command reports on `out`, explains failures on `err` and returns the exit code.
int runList(cDllManager& plugins, std::ostream& out, std::ostream& err);
int runInfo(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err);
int runConvert(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err);
int runSlice(cDllManager& plugins, const Options& options, std::ostream& out, std::ostream& err);

// The whole program: parses `args` (without the program name), scans the
// working directory for plug-ins and runs the command.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace pzconv
