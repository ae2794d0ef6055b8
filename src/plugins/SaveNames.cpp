#include "plugins/SaveNames.h"

#include <string>

JqString frameOutputName(const char* path, int frame, int selectedCount, const char* ext) {
    std::string name = path != nullptr ? path : "";
    if (selectedCount > 1) {
        const std::string digits = std::to_string(frame);
        if (digits.size() < 3)
            name.append(3 - digits.size(), '0');
        name += digits;
    }
    name += '.';
    name += ext != nullptr ? ext : "";
    return JqString(name);
}
