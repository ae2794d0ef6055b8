#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pzconv {

// Exit codes: what a script calling pzconv can tell apart.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // the work itself failed: open, lock, save, no plug-in
inline constexpr int kExitUsage = 2;  // the command line makes no sense

enum class Command { Help, List, Info, Convert, Slice };

// An inclusive range of frame numbers.
struct FrameRange {
    int first = 0;
    int last = 0;
};

// The tiles `slice` cuts a sheet into: tileWidth x tileHeight each, the first at
// the offset, the next ones a gap apart, row by row.
struct Grid {
    int tileWidth = 0, tileHeight = 0; // 0 until --tile gives them
    int offsetX = 0, offsetY = 0;
    int gapX = 0, gapY = 0;
    int count = 0; // 0: every whole tile
};

struct Options {
    Command command = Command::Help;
    std::string input;
    std::string output;
    std::optional<FrameRange> frames;
    bool anim = false;
    Grid grid;
};

extern const char* const kSynopsis; // the command lines, shown after a usage error
extern const char* const kHelp;     // the rest of --help

// The arguments after the program name. False, with the reason in `error`, when
// they name no command or do not fit the one they name.
bool parseArguments(const std::vector<std::string>& args, Options& out, std::string& error);

// "A-B" (A <= B) or a single "A"; decimal digits only, no signs or spaces.
bool parseFrameRange(const std::string& text, FrameRange& out);

// "AxB" with the separator `sep` ('x' for a size, ',' for a place): two numbers
// of decimal digits only.
bool parsePair(const std::string& text, char sep, int& a, int& b);

// Splits an output path at the dot of its last path component: "out/walk.pcx"
// gives "out/walk" and "pcx". False when that component has no extension.
bool splitOutputPath(const std::string& path, std::string& stem, std::string& ext);

} // namespace pzconv
