#pragma once

// Other programs the interoperability tests check files against. Each test
// skips itself where a program is not installed.

#include <string>

namespace pz4test {

// Runs a shell command with its output discarded; true when it exits with 0.
bool succeeds(const std::string& command);
// What a shell command prints on its standard output.
std::string commandOutput(const std::string& command);

bool haveImageMagick();
// ffmpeg, with its FLIC decoder.
bool haveFfmpeg();
// The interpreter that has Pillow: the system one when a different python3 comes
// first on the path; empty when none has it.
std::string pillowPython();

} // namespace pz4test
