#include "app/CommandLine.h"

const char* const kUsage = "Usage: pz4 [FILE]\n"
                           "A viewer and animator for palettised sprite frames.\n"
                           "\n"
                           "FILE is loaded at start as the Load button loads it, through the\n"
                           "format plug-in of its extension.\n"
                           "\n"
                           "  -h, --help     show this help and exit\n"
                           "      --version  show the version and exit\n"
                           "\n"
                           "Plug-ins are loaded from the folders in PZ4_PLUGIN_PATH, then\n"
                           "$XDG_DATA_HOME/pz4/plugins, then the installed plug-ins. Settings are\n"
                           "kept in $XDG_CONFIG_HOME/pz4/pz.ini, or in a pz.ini of the working\n"
                           "folder where one exists.\n";

const char* const kVersion = "pz4 " PZ4_VERSION "\n";

CommandLine::Action EarlyAction(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (a == "-h" || a == "--help")
            return CommandLine::Action::Help;
        if (a == "--version")
            return CommandLine::Action::Version;
    }
    return CommandLine::Action::Run;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    line.action = EarlyAction(args);
    if (line.action != CommandLine::Action::Run)
        return line;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && a.size() > 1 && a[0] == '-') {
            line.action = CommandLine::Action::Error;
            line.error = "unknown option '" + a + "'";
            return line;
        } else if (!line.file.empty()) {
            line.action = CommandLine::Action::Error;
            line.error = "one file at a time: '" + line.file + "' and '" + a + "'";
            line.file.clear();
            return line;
        } else {
            line.file = a;
        }
    }
    return line;
}
