#include "Options.h"

namespace pzconv {

const char* const kSynopsis = "Usage: pzconv list\n"
                              "       pzconv info FILE\n"
                              "       pzconv convert IN OUT [--frames A-B] [--anim]\n"
                              "       pzconv --help\n";

const char* const kHelp =
    "\n"
    "Reads and writes files through the format plug-ins (pz*.so) pz4 uses, found in\n"
    "the folders of PZ4_PLUGIN_PATH, then $XDG_DATA_HOME/pz4/plugins, then the\n"
    "installed plug-ins.\n"
    "\n"
    "  list     the plug-ins found: file, extension, author, version, whether they\n"
    "           read, save frames and save animations, their description and the\n"
    "           folder each was found in\n"
    "  info     the plug-in that reads FILE, its frames, their sizes, palettes, tags\n"
    "           and transparent indices\n"
    "  convert  saves the frames of IN through the plug-in of OUT's extension.\n"
    "           One frame is written to OUT; several to OUT's name followed by the\n"
    "           frame number in three digits (walk.pcx: walk000.pcx, walk001.pcx...).\n"
    "           --frames A-B  only frames A to B (or --frames A for one frame)\n"
    "           --anim        all chosen frames as one animation in OUT\n"
    "           Frames without a palette of their own are saved with the default\n"
    "           grey palette.\n"
    "\n"
    "Exit status: 0 done, 1 the work failed, 2 bad command line.\n";

namespace {

bool parseNumber(const std::string& text, size_t begin, size_t end, int& out) {
    // Nine digits always fit an int.
    if (begin >= end || end - begin > 9)
        return false;
    int value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}

bool isHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

} // namespace

bool parseFrameRange(const std::string& text, FrameRange& out) {
    const size_t dash = text.find('-');
    FrameRange range;
    if (dash == std::string::npos) {
        if (!parseNumber(text, 0, text.size(), range.first))
            return false;
        range.last = range.first;
    } else if (!parseNumber(text, 0, dash, range.first) ||
               !parseNumber(text, dash + 1, text.size(), range.last) || range.last < range.first) {
        return false;
    }
    out = range;
    return true;
}

bool splitOutputPath(const std::string& path, std::string& stem, std::string& ext) {
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart || dot + 1 >= path.size())
        return false;
    stem = path.substr(0, dot);
    ext = path.substr(dot + 1);
    return true;
}

bool parseArguments(const std::vector<std::string>& args, Options& out, std::string& error) {
    out = Options{};
    for (const std::string& arg : args) {
        if (isHelp(arg)) {
            out.command = Command::Help;
            return true;
        }
    }
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    if (args[0] == "help")
        return true;
    const std::string& command = args[0];
    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (command == "convert" && arg == "--anim") {
            out.anim = true;
        } else if (command == "convert" && (arg == "--frames" || arg.rfind("--frames=", 0) == 0)) {
            std::string value;
            if (arg == "--frames") {
                if (i + 1 >= args.size()) {
                    error = "--frames needs a range, for example --frames 0-7";
                    return false;
                }
                value = args[++i];
            } else {
                value = arg.substr(9);
            }
            FrameRange range;
            if (!parseFrameRange(value, range)) {
                error = "bad frame range '" + value + "' (expected A-B with A <= B, or A)";
                return false;
            }
            out.frames = range;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "' for " + command;
            return false;
        } else {
            positional.push_back(arg);
        }
    }

    size_t wanted = 0;
    if (command == "list") {
        out.command = Command::List;
    } else if (command == "info") {
        out.command = Command::Info;
        wanted = 1;
    } else if (command == "convert") {
        out.command = Command::Convert;
        wanted = 2;
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    if (positional.size() < wanted) {
        error = command == "info" ? "info needs a FILE" : "convert needs IN and OUT";
        return false;
    }
    if (positional.size() > wanted) {
        error = "unexpected argument '" + positional[wanted] + "' for " + command;
        return false;
    }
    if (wanted >= 1)
        out.input = positional[0];
    if (wanted == 2)
        out.output = positional[1];
    return true;
}

} // namespace pzconv
