#pragma once

#include "frames/JqString.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Reads and rewrites the settings file: key=value lines and comment lines
// (first or second character "/"). Every operation reads the file afresh and
// every change rewrites it through "pztemp.ini" in the same folder, which then
// replaces it in one rename, so the file is always either the old or the new
// complete text.
class cIniManager {
public:
    static constexpr const char* kTempFileName = "pztemp.ini";

    // The file steps a rewrite goes through. The default works on the real file
    // system; tests override single steps to make them fail.
    class FileOps {
    public:
        enum class ReadResult { Ok, Missing, Failed };

        virtual ~FileOps() = default;
        // The whole file as raw bytes; Missing only when it does not exist.
        virtual ReadResult ReadAll(const char* name, std::string& content);
        // A new, empty file for binary writing, or null.
        virtual std::FILE* Create(const char* name);
        virtual bool Write(std::FILE* file, const char* data, size_t size);
        // Pushes what was written through to the disk.
        virtual bool Flush(std::FILE* file);
        virtual bool Close(std::FILE* file);
        // Replaces `to` with `from` in one step, `to` existing or not.
        virtual bool Replace(const char* from, const char* to);
        virtual void Remove(const char* name);
    };

    explicit cIniManager(const char* fileName, std::unique_ptr<FileOps> ops = nullptr);
    cIniManager(const cIniManager&) = delete;
    cIniManager& operator=(const cIniManager&) = delete;

    // A false result leaves `out` as it was. Numbers read as their leading
    // digits (blanks skipped), so a negative number reads as 0.
    bool GetUInt(const char* key, int32_t& out) const;
    bool GetInt(const char* key, int32_t& out) const;
    bool GetString(const char* key, JqString& out) const;

    // Every line with the key gets the new value; without one, a line is added.
    // False, the file left as it was, when the key cannot be a settings key or
    // the rewrite failed.
    // Five digits, or "-" and five digits.
    bool SetUInt(const char* key, int32_t value);
    // Ten digits, or "-" and ten digits.
    bool SetInt(const char* key, int32_t value);
    // The text as it is; false for a text holding a line feed.
    bool SetString(const char* key, const char* text);

    JqString fileName;

private:
    // The value text of the first non-comment line whose key is `key`.
    bool FindValue(const char* key, JqString& value) const;
    bool WriteValue(const char* key, const char* text);

    std::unique_ptr<FileOps> ops_;
};
