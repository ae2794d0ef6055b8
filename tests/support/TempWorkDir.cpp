#include "TempWorkDir.h"

#include "plugins/DynamicLibrary.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pz4test {

std::string libraryFileName(const std::string& name) {
    return name + librarySuffix();
}

TempWorkDir::TempWorkDir() : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "pz4test-XXXXXX").string();
#ifdef _WIN32
    if (_mktemp_s(pattern.data(), pattern.size() + 1) != 0 || !fs::create_directory(pattern))
        throw std::runtime_error("cannot create a temporary directory");
#else
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
#endif
    dir_ = fs::canonical(pattern);
    fs::current_path(dir_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(dir_, ec);
}

void TempWorkDir::copyLibrary(const fs::path& from, const std::string& name,
                              const std::string& as) const {
    const fs::path source = from / libraryFileName(name);
    const fs::path target = dir_ / (as.empty() ? libraryFileName(name) : as);
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
}

void TempWorkDir::addFixture(const std::string& name, const std::string& as) const {
    copyLibrary(PZ4_FIXTURE_DIR, name, as);
}

void TempWorkDir::addFormat(const std::string& name, const std::string& as) const {
    copyLibrary(PZ4_PLUGIN_DIR, name, as);
}

void TempWorkDir::addAllFormats() const {
    for (const char* name :
         {"pzbmp", "pzfli", "pzflc", "pzgif", "pzjpeg", "pzjpg", "pzpcx", "pzpng", "pzwebp"})
        addFormat(name);
}

void TempWorkDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + name);
}

void TempWorkDir::write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    write(name, std::string(bytes.begin(), bytes.end()));
}

std::string TempWorkDir::read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempWorkDir::exists(const std::string& name) const {
    return fs::exists(dir_ / name);
}

std::vector<unsigned char> readFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

} // namespace pz4test
