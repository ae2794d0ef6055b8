#include "ExternalTools.h"

#include <cstdio>
#include <cstdlib>

namespace pz4test {

bool succeeds(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string commandOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

bool haveImageMagick() {
    return succeeds("convert -version");
}

bool haveFfmpeg() {
    return succeeds("ffmpeg -hide_banner -decoders | grep -q flic");
}

std::string pillowPython() {
    for (const char* python : {"python3", "/usr/bin/python3"})
        if (succeeds(std::string(python) + " -c 'import PIL'"))
            return python;
    return {};
}

} // namespace pz4test
