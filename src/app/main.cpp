#include "app/CommandLine.h"
#include "app/Pz4App.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work where there is no display.
    const std::vector<std::string> raw(argv + 1, argv + argc);
    switch (EarlyAction(raw)) {
    case CommandLine::Action::Help:
        std::fputs(kUsage, stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(kVersion, stdout);
        return 0;
    default:
        break;
    }
    TPz4App app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) by now.
    std::vector<std::string> args;
    const QStringList given = app.arguments();
    for (qsizetype i = 1; i < given.size(); ++i)
        args.push_back(given.at(i).toLocal8Bit().toStdString());
    const CommandLine line = ParseCommandLine(args);
    if (line.action == CommandLine::Action::Error) {
        std::fprintf(stderr, "pz4: %s\n%s", line.error.c_str(), kUsage);
        return 2;
    }
    return app.Run(line.file);
}
