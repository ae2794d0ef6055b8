#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Result lists of JqString::FindAll and JqString::Split. The caller creates the
// first node (all fields zero) and passes it in; the operation fills it in place
// and appends further nodes. FreePositions / FreeFields release the whole list,
// the first node included.
struct PositionNode {
    PositionNode* next = nullptr;
    int32_t position = 0;
};

struct FieldNode {
    FieldNode* next = nullptr;
    int32_t start = 0;
    int32_t length = 0;
};

void FreePositions(PositionNode* first);
void FreeFields(FieldNode* first);

// The program's text string: exactly sized single-byte characters with a cached
// decimal value. Its edge rules (fixed-width numbers, the value scan, Split
// dropping the last character) are relied on by the settings file, the frame
// list and the script reader, so they must not be "improved".
class JqString {
public:
    JqString() = default;
    explicit JqString(const char* text);
    explicit JqString(const std::string& text) : JqString(text.c_str()) {}
    // The lowest `width` decimal digits of `number`, zero-padded, with a leading
    // "-" for negatives; value() is `number` itself even when digits were dropped.
    JqString(int32_t number, int32_t width);

    JqString(const JqString& other);
    JqString& operator=(const JqString& other);
    JqString(JqString&& other) noexcept;
    JqString& operator=(JqString&& other) noexcept;
    ~JqString() = default;

    static int32_t TextLength(const char* text);

    void Assign(const char* text);
    void Append(const char* text);
    void Truncate(int32_t n);
    void Resize(int32_t n);
    // A copy of `count` characters from `start`, or null when they do not all exist.
    std::unique_ptr<char[]> SubString(int32_t start, int32_t count) const;
    // Leaves value() as it was.
    void ReplaceChar(char from, char to);
    int32_t FindAll(const char* pattern, PositionNode* first) const;
    int32_t Split(char separator, FieldNode* first) const;
    // False for an empty string, whatever `text` is.
    bool IsEqual(const char* text) const;
    void Reverse();
    bool RemoveAll(const char* pattern);
    void UpdateValue();

    // The characters, or null when the string is empty (no buffer).
    const char* text() const { return text_.get(); }
    // The characters, never null.
    const char* c_str() const { return text_ ? text_.get() : ""; }
    std::string str() const { return std::string(c_str(), static_cast<size_t>(length_)); }
    int32_t length() const { return length_; }
    int32_t value() const { return value_; }
    bool empty() const { return length_ == 0; }

private:
    // Takes a buffer of exactly n characters plus NUL (or null for n == 0).
    void adopt(std::unique_ptr<char[]> buffer, int32_t n);

    std::unique_ptr<char[]> text_;
    int32_t length_ = 0;
    int32_t value_ = 0;
};
