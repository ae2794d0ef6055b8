#include "Options.h"

namespace pzconv {

const char* const kSynopsis = "Usage: pzconv list\n"
                              "       pzconv info FILE\n"
                              "       pzconv convert IN OUT [--frames A-B] [--anim]\n"
                              "       pzconv slice SHEET --tile WxH [--offset X,Y] [--gap X,Y]\n"
                              "                    [--count N] OUT.json\n"
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
    "           grey palette. A sprite sheet (OUT.json) is one PNG picture and one\n"
    "           descriptor for all the frames, named after the first.\n"
    "  slice    writes OUT.json, a sprite sheet descriptor cutting the PNG picture\n"
    "           SHEET into WxH tiles, row by row from the top left, as many whole\n"
    "           tiles as fit (or the first N); the first at --offset, the others\n"
    "           --gap apart. SHEET must be in OUT's folder or below it.\n"
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

// An option followed by its value, as "--name VALUE" or "--name=VALUE".
struct ValueOption {
    const char* name;
    const char* command; // the one command that takes it
    const char* needs;   // what a missing value should have been
    const char* bad;     // the start of the error for a value that does not parse
    const char* expected;
    bool (*parse)(const std::string& value, Options& out);
};

bool positive(int v) {
    return v > 0;
}

const ValueOption kValueOptions[] = {
    {"--frames", "convert", "a range, for example --frames 0-7", "bad frame range",
     "A-B with A <= B, or A",
     [](const std::string& v, Options& o) {
         FrameRange range;
         if (!parseFrameRange(v, range))
             return false;
         o.frames = range;
         return true;
     }},
    {"--tile", "slice", "a size, for example --tile 16x16", "bad tile size", "WxH, both 1 or more",
     [](const std::string& v, Options& o) {
         return parsePair(v, 'x', o.grid.tileWidth, o.grid.tileHeight) &&
                positive(o.grid.tileWidth) && positive(o.grid.tileHeight);
     }},
    {"--offset", "slice", "a place, for example --offset 1,1", "bad offset", "X,Y",
     [](const std::string& v, Options& o) {
         return parsePair(v, ',', o.grid.offsetX, o.grid.offsetY);
     }},
    {"--gap", "slice", "a spacing, for example --gap 1,1", "bad gap", "X,Y",
     [](const std::string& v, Options& o) { return parsePair(v, ',', o.grid.gapX, o.grid.gapY); }},
    {"--count", "slice", "a number, for example --count 8", "bad count", "a number of 1 or more",
     [](const std::string& v, Options& o) {
         return parseNumber(v, 0, v.size(), o.grid.count) && positive(o.grid.count);
     }},
};

// Takes the value of the option at args[i], if it is one of `command`'s: false
// when it is not, or, with `error` set, when its value is missing or bad.
bool takeValueOption(const std::vector<std::string>& args, size_t& i, const std::string& command,
                     Options& out, std::string& error) {
    const std::string& arg = args[i];
    for (const ValueOption& option : kValueOptions) {
        const std::string name = option.name;
        if (command != option.command || (arg != name && arg.rfind(name + "=", 0) != 0))
            continue;
        std::string value;
        if (arg != name)
            value = arg.substr(name.size() + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            error = name + " needs " + option.needs;
        if (error.empty() && !option.parse(value, out))
            error = std::string(option.bad) + " '" + value + "' (expected " + option.expected + ")";
        return true;
    }
    return false;
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

bool parsePair(const std::string& text, char sep, int& a, int& b) {
    const size_t at = text.find(sep);
    return at != std::string::npos && parseNumber(text, 0, at, a) &&
           parseNumber(text, at + 1, text.size(), b);
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
        } else if (takeValueOption(args, i, command, out, error)) {
            if (!error.empty())
                return false;
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
    } else if (command == "convert" || command == "slice") {
        out.command = command == "convert" ? Command::Convert : Command::Slice;
        wanted = 2;
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    if (positional.size() < wanted) {
        error = command == "info"      ? "info needs a FILE"
                : command == "convert" ? "convert needs IN and OUT"
                                       : "slice needs SHEET and OUT";
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
    if (out.command == Command::Slice && out.grid.tileWidth == 0) {
        error = "slice needs --tile WxH, the size of one tile";
        return false;
    }
    return true;
}

} // namespace pzconv
