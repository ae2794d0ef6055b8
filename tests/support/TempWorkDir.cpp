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
    root_ = fs::canonical(pattern);
    dir_ = root_ / "pz4";
    fs::create_directory(dir_);
    fs::current_path(dir_);
    const std::pair<const char*, fs::path> settings[] = {
        {"PZ4_PLUGIN_PATH", dir_},
        {"XDG_CONFIG_HOME", root_},
        {"XDG_DATA_HOME", root_ / "data"},
    };
    for (const auto& [name, value] : settings) {
        const char* old = std::getenv(name);
        environment_.emplace_back(name,
                                  old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        setEnvironment(name, value.string());
    }
}

TempWorkDir::~TempWorkDir() {
    for (const auto& [name, value] : environment_)
        setEnvironment(name, value);
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(root_, ec);
}

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
#endif
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
    for (const char* name : {"pzbmp", "pzfli", "pzflc", "pzgif", "pzjpeg", "pzjpg", "pzjson",
                             "pzpcx", "pzpng", "pzwebp"})
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
