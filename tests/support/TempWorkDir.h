#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pz4test {

// A fresh, empty working directory for one test, which is also, while it lives,
// the one folder plug-ins are loaded from (PZ4_PLUGIN_PATH) and the user's
// settings folder (XDG_CONFIG_HOME names its parent, and the folder is called
// pz4), with an empty user data folder: so the program finds the plug-ins a test
// puts there, reads and writes pz.ini there, and sees nothing of the machine's
// own. The working directory and the environment are restored, and the folder
// removed, on destruction.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    const std::filesystem::path& path() const { return dir_; }

    // Copies a built plug-in (fixture or format) into the directory under its own name,
    // or under `as` when given.
    void addFixture(const std::string& name, const std::string& as = {}) const;
    void addFormat(const std::string& name, const std::string& as = {}) const;
    // Every format plug-in.
    void addAllFormats() const;

    void write(const std::string& name, const std::string& bytes) const;
    void write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    void copyLibrary(const std::filesystem::path& from, const std::string& name,
                     const std::string& as) const;
    std::filesystem::path root_; // dir_'s parent, made for it alone
    std::filesystem::path dir_;
    std::filesystem::path previous_;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment_;
};

// The platform's file name of a plug-in library: name + ".so" / ".dll".
std::string libraryFileName(const std::string& name);

std::vector<unsigned char> readFileBytes(const std::filesystem::path& path);

// Sets (or, with nullopt, removes) an environment variable.
void setEnvironment(const std::string& name, const std::optional<std::string>& value);

} // namespace pz4test
