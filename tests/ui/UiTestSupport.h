#pragma once

#include "app/Pz4App.h"

#include <QCoreApplication>
#include <QEvent>
#include <fstream>
#include <string>
#include <vector>

namespace pz4test {

// The one application object of a ui test program, built on first use and kept
// for the whole run, as the program keeps its own.
inline TPz4App& app() {
    static int argc = 1;
    static char name[] = "pz4-ui-test";
    static char* argv[] = {name, nullptr};
    static TPz4App* instance = new TPz4App(argc, argv);
    return *instance;
}

// Runs the deletions windows asked for (closed tool windows, Exit).
inline void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace pz4test
