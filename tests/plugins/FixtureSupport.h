#pragma once

// Shared by the fixture plug-ins. A fixture learns its own file stem from the
// loader, so one library copied under several names ("pza.so", "pzb.so") reads
// its own settings from "<stem>.cfg" and writes its own call log "<stem>.log",
// both in the working directory.

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#ifndef _WIN32
#include <dlfcn.h>
#endif

// Internal linkage throughout: a default-visibility static local would become a
// process-wide unique symbol, shared between copies and pinning the library.
namespace fixture {
namespace {

inline std::string selfStem() {
#ifdef _WIN32
    return "fixture";
#else
    Dl_info info{};
    static const int anchor = 0;
    if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr)
        return "fixture";
    std::string path = info.dli_fname;
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos)
        path.erase(0, slash + 1);
    const auto dot = path.find('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
#endif
}

// Read at every call: tests change the settings between calls.
inline std::string setting(const std::string& key, const std::string& fallback) {
    std::ifstream in(selfStem() + ".cfg");
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && line.compare(0, eq, key) == 0)
            return line.substr(eq + 1);
    }
    return fallback;
}

inline int intSetting(const std::string& key, int fallback) {
    const std::string v = setting(key, "");
    return v.empty() ? fallback : std::stoi(v);
}

// A text answer that stays valid until the next answer for the same key;
// "@null" answers with a null pointer.
inline const char* textSetting(const std::string& key, const std::string& fallback) {
    static std::map<std::string, std::string> answers;
    std::string& answer = answers[key];
    answer = setting(key, fallback);
    return answer == "@null" ? nullptr : answer.c_str();
}

inline void log(const std::string& line) {
    std::ofstream out(selfStem() + ".log", std::ios::app);
    out << line << '\n';
}

} // namespace
} // namespace fixture
