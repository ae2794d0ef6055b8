#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pz4test {

// A fresh, empty working directory for one test. The program finds plug-ins,
// pz.ini and its temporary file relative to the working directory, so every
// test that touches them runs inside one of these. The previous working
// directory is restored and the folder removed on destruction.
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
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

// The platform's file name of a plug-in library: name + ".so" / ".dll".
std::string libraryFileName(const std::string& name);

std::vector<unsigned char> readFileBytes(const std::filesystem::path& path);

} // namespace pz4test
