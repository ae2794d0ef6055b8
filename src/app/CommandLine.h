#pragma once

#include <string>
#include <vector>

// What pz4 was asked to do on its command line.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string file;  // to load at start, empty for none
    std::string error; // with Action::Error, what is wrong
};

// `args` without the program name, once Qt has taken its own options (-platform,
// -style, ...). "--" ends the options, so a file may begin with "-".
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Whether `args` ask only for --help or --version, which are answered before Qt
// starts, so they work where no display is.
CommandLine::Action EarlyAction(const std::vector<std::string>& args);

extern const char* const kUsage;   // --help
extern const char* const kVersion; // --version
