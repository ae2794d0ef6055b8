#include "plugins/SaveNames.h"

#include <string>

std::string frameNumberText(int frame) {
    const std::string digits = std::to_string(frame);
    return digits.size() < 3 ? std::string(3 - digits.size(), '0') + digits : digits;
}

int decimalDigits(int n) {
    int digits = 1;
    for (; n >= 10; n /= 10)
        ++digits;
    return digits;
}

JqString frameOutputName(const char* path, int frame, int selectedCount, const char* ext) {
    std::string name = path != nullptr ? path : "";
    if (selectedCount > 1)
        name += frameNumberText(frame);
    name += '.';
    name += ext != nullptr ? ext : "";
    return JqString(name);
}
