#include "plugins/DynamicLibrary.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

// Loading and symbol lookup are the platform's: DynamicLibraryPosix.cpp and
// DynamicLibraryWindows.cpp.

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isPluginName(const std::string& name) {
    const std::string prefix = "PZ";
    const std::string suffix = upper(librarySuffix());
    if (name.size() < prefix.size() + suffix.size())
        return false;
    const std::string u = upper(name);
    return u.compare(0, prefix.size(), prefix) == 0 &&
           u.compare(u.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::vector<std::string> listPluginFiles(const std::string& directory) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string name = it->path().filename().string();
        if (isPluginName(name))
            names.push_back(std::move(name));
    }
    // The order a case-insensitive file system lists them in; byte order only
    // separates names that differ in case alone.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upper(a);
        const std::string ub = upper(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}
