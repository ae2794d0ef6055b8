#include "context/IniManager.h"

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <vector>

// Flush and Replace, which the platforms do differently, are in
// IniManagerPosix.cpp and IniManagerWindows.cpp.

namespace {

// Lines without their line feed. A last line without one is a line like any other.
std::vector<std::string_view> SplitLines(std::string_view content) {
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const size_t end = content.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(content);
            break;
        }
        lines.push_back(content.substr(0, end));
        content.remove_prefix(end + 1);
    }
    return lines;
}

bool IsComment(std::string_view line) {
    return (!line.empty() && line[0] == '/') || (line.size() > 1 && line[1] == '/');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The position of the line's first "=" when the text before it is exactly `key`
// (blanks around it aside), otherwise npos. Only that text names the setting: a
// value that mentions another key's name (a path through a folder "PaX") must not
// be taken for that key, neither when reading nor when rewriting.
size_t KeyEnd(std::string_view line, std::string_view key) {
    if (IsComment(line))
        return std::string_view::npos;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)) != key)
        return std::string_view::npos;
    return equals;
}

// A key that a line of the file can carry and that a search can find again.
bool IsValidKey(const char* key) {
    if (key == nullptr)
        return false;
    const std::string_view k(key);
    return !k.empty() && k.find_first_of("=\r\n") == std::string_view::npos && !IsComment(k) &&
           Trim(k) == k;
}

// The second "="-separated piece of the line, by the text string's Split, which
// drops the last character: the carriage return of a line that has one. A line
// that has none gets one first, so its last character stays in the value.
bool ValueOf(std::string_view line, JqString& value) {
    JqString text(std::string(line).c_str());
    if (text.length() == 0 || text.text()[text.length() - 1] != '\r')
        text.Append("\r");
    auto* first = new FieldNode;
    const int32_t count = text.Split('=', first);
    bool found = false;
    if (count >= 2) {
        const FieldNode* piece = first->next;
        value.Assign(text.SubString(piece->start, piece->length).get());
        found = true;
    }
    FreeFields(first);
    return found;
}

} // namespace

cIniManager::FileOps::ReadResult cIniManager::FileOps::ReadAll(const char* name,
                                                               std::string& content) {
    errno = 0;
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    content.clear();
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? ReadResult::Failed : ReadResult::Ok;
}

std::FILE* cIniManager::FileOps::Create(const char* name) {
    return std::fopen(name, "wb");
}

bool cIniManager::FileOps::Write(std::FILE* file, const char* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size;
}

bool cIniManager::FileOps::Close(std::FILE* file) {
    return std::fclose(file) == 0;
}

void cIniManager::FileOps::Remove(const char* name) {
    std::remove(name);
}

cIniManager::cIniManager(const char* name, std::unique_ptr<FileOps> ops)
    : fileName(name), ops_(ops ? std::move(ops) : std::make_unique<FileOps>()) {}

bool cIniManager::FindValue(const char* key, JqString& value) const {
    if (!IsValidKey(key))
        return false;
    std::string content;
    if (ops_->ReadAll(fileName.c_str(), content) != FileOps::ReadResult::Ok)
        return false;
    for (std::string_view line : SplitLines(content)) {
        // The first line with the key decides, even when it holds no value.
        if (KeyEnd(line, key) != std::string_view::npos)
            return ValueOf(line, value);
    }
    return false;
}

bool cIniManager::GetUInt(const char* key, int32_t& out) const {
    JqString value;
    if (!FindValue(key, value))
        return false;
    out = value.value();
    return true;
}

bool cIniManager::GetInt(const char* key, int32_t& out) const {
    return GetUInt(key, out);
}

bool cIniManager::GetString(const char* key, JqString& out) const {
    JqString value;
    if (!FindValue(key, value))
        return false;
    out = std::move(value);
    return true;
}

bool cIniManager::SetUInt(const char* key, int32_t value) {
    return WriteValue(key, JqString(value, 5).c_str());
}

bool cIniManager::SetInt(const char* key, int32_t value) {
    return WriteValue(key, JqString(value, 10).c_str());
}

bool cIniManager::SetString(const char* key, const char* text) {
    return WriteValue(key, text != nullptr ? text : "");
}

bool cIniManager::WriteValue(const char* key, const char* text) {
    // A line feed in the value would start a line of its own.
    if (!IsValidKey(key) || std::string_view(text).find('\n') != std::string_view::npos)
        return false;
    std::string content;
    // An unreadable (not merely missing) file must not be replaced by one that
    // holds only this key.
    if (ops_->ReadAll(fileName.c_str(), content) == FileOps::ReadResult::Failed)
        return false;

    // Every line the key does not own is copied byte for byte, however long.
    std::string rewritten;
    rewritten.reserve(content.size() + 64);
    bool changed = false;
    for (std::string_view line : SplitLines(content)) {
        const size_t equals = KeyEnd(line, key);
        if (equals != std::string_view::npos) {
            rewritten.append(line.substr(0, equals + 1)).append(text).append("\r");
            changed = true;
        } else {
            rewritten.append(line);
        }
        rewritten.append("\n");
    }
    if (!changed)
        rewritten.append(key).append("=").append(text).append("\r\n");

    // Beside the settings file, so the rename that replaces it stays on one file
    // system; the folder is made when the file is first written.
    const std::filesystem::path folder = std::filesystem::path(fileName.str()).parent_path();
    const std::string tempName = (folder / kTempFileName).string();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    std::FILE* temp = ops_->Create(tempName.c_str());
    if (temp == nullptr) {
        ops_->Remove(tempName.c_str());
        return false;
    }
    bool written = ops_->Write(temp, rewritten.data(), rewritten.size()) && ops_->Flush(temp);
    written = ops_->Close(temp) && written;
    // The settings file is only ever replaced by a complete, flushed copy.
    if (!written || !ops_->Replace(tempName.c_str(), fileName.c_str())) {
        ops_->Remove(tempName.c_str());
        return false;
    }
    return true;
}
