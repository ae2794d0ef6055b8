#include "frames/JqString.h"

#include <cstring>
#include <vector>

namespace {

std::unique_ptr<char[]> copyOf(const char* text, int32_t n) {
    if (n <= 0)
        return nullptr;
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
    std::memcpy(buffer.get(), text, static_cast<size_t>(n));
    buffer[static_cast<size_t>(n)] = '\0';
    return buffer;
}

} // namespace

void FreePositions(PositionNode* first) {
    while (first != nullptr) {
        PositionNode* next = first->next;
        delete first;
        first = next;
    }
}

void FreeFields(FieldNode* first) {
    while (first != nullptr) {
        FieldNode* next = first->next;
        delete first;
        first = next;
    }
}

JqString::JqString(const char* text) {
    Assign(text);
}

JqString::JqString(int32_t number, int32_t width) {
    if (width < 1)
        width = 1;
    const bool negative = number < 0;
    // The magnitude of INT32_MIN does not fit an int32_t.
    uint64_t magnitude = negative ? static_cast<uint64_t>(-static_cast<int64_t>(number))
                                  : static_cast<uint64_t>(number);
    const int32_t n = width + (negative ? 1 : 0);
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
    for (int32_t i = n - 1; i >= (negative ? 1 : 0); --i) {
        buffer[static_cast<size_t>(i)] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (negative)
        buffer[0] = '-';
    buffer[static_cast<size_t>(n)] = '\0';
    text_ = std::move(buffer);
    length_ = n;
    value_ = number;
}

JqString::JqString(const JqString& other)
    : text_(copyOf(other.text(), other.length_)), length_(other.length_), value_(other.value_) {}

JqString& JqString::operator=(const JqString& other) {
    if (this != &other) {
        text_ = copyOf(other.text(), other.length_);
        length_ = other.length_;
        value_ = other.value_;
    }
    return *this;
}

JqString::JqString(JqString&& other) noexcept
    : text_(std::move(other.text_)), length_(other.length_), value_(other.value_) {
    other.length_ = 0;
    other.value_ = 0;
}

JqString& JqString::operator=(JqString&& other) noexcept {
    if (this != &other) {
        text_ = std::move(other.text_);
        length_ = other.length_;
        value_ = other.value_;
        other.length_ = 0;
        other.value_ = 0;
    }
    return *this;
}

int32_t JqString::TextLength(const char* text) {
    return text == nullptr ? 0 : static_cast<int32_t>(std::strlen(text));
}

void JqString::adopt(std::unique_ptr<char[]> buffer, int32_t n) {
    text_ = std::move(buffer);
    length_ = text_ ? n : 0;
    UpdateValue();
}

void JqString::Assign(const char* text) {
    const int32_t n = TextLength(text);
    adopt(copyOf(text, n), n);
}

void JqString::Append(const char* text) {
    const int32_t extra = TextLength(text);
    if (extra == 0) {
        UpdateValue();
        return;
    }
    const int32_t n = length_ + extra;
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
    if (length_ > 0)
        std::memcpy(buffer.get(), text_.get(), static_cast<size_t>(length_));
    std::memcpy(buffer.get() + length_, text, static_cast<size_t>(extra));
    buffer[static_cast<size_t>(n)] = '\0';
    adopt(std::move(buffer), n);
}

void JqString::Truncate(int32_t n) {
    if (n >= 0 && n < length_)
        adopt(copyOf(text_.get(), n), n);
    else
        UpdateValue();
}

void JqString::Resize(int32_t n) {
    if (n < 0 || n == length_) {
        UpdateValue();
        return;
    }
    if (n < length_) {
        Truncate(n);
        return;
    }
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
    if (length_ > 0)
        std::memcpy(buffer.get(), text_.get(), static_cast<size_t>(length_));
    std::memset(buffer.get() + length_, ' ', static_cast<size_t>(n - length_));
    buffer[static_cast<size_t>(n)] = '\0';
    adopt(std::move(buffer), n);
}

std::unique_ptr<char[]> JqString::SubString(int32_t start, int32_t count) const {
    if (start < 0 || count < 0 || static_cast<int64_t>(start) + count > length_)
        return nullptr;
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(count) + 1);
    if (count > 0)
        std::memcpy(buffer.get(), text_.get() + start, static_cast<size_t>(count));
    buffer[static_cast<size_t>(count)] = '\0';
    return buffer;
}

void JqString::ReplaceChar(char from, char to) {
    for (int32_t i = 0; i < length_; ++i)
        if (text_[static_cast<size_t>(i)] == from)
            text_[static_cast<size_t>(i)] = to;
}

int32_t JqString::FindAll(const char* pattern, PositionNode* first) const {
    if (length_ == 0 || pattern == nullptr || pattern[0] == '\0' || first == nullptr)
        return 0;
    const char* s = text_.get();
    int32_t found = 0;
    PositionNode* last = first;
    for (int32_t i = 0; i < length_; ++i) {
        int32_t k = 0;
        // The string's terminating zero differs from every pattern character.
        while (pattern[k] != '\0' && s[i + k] == pattern[k])
            ++k;
        if (pattern[k] != '\0')
            continue;
        if (found == 0) {
            first->position = i;
        } else {
            auto* node = new PositionNode;
            node->position = i;
            while (last->next != nullptr)
                last = last->next;
            last->next = node;
            last = node;
        }
        ++found;
    }
    return found;
}

int32_t JqString::Split(char separator, FieldNode* first) const {
    if (length_ == 0 || first == nullptr)
        return 0;
    const char* s = text_.get();
    int32_t fields = 0;
    int32_t prev = -1;
    FieldNode* last = first;
    for (int32_t i = 0; i < length_; ++i) {
        // The last character always closes a field and never belongs to one:
        // settings lines keep their carriage return, which so falls away.
        if (s[i] != separator && i != length_ - 1)
            continue;
        if (i != prev + 1) {
            FieldNode* node = first;
            if (fields > 0) {
                node = new FieldNode;
                while (last->next != nullptr)
                    last = last->next;
                last->next = node;
                last = node;
            }
            node->start = prev + 1;
            node->length = i - prev - 1;
            ++fields;
        }
        prev = i;
    }
    return fields;
}

bool JqString::IsEqual(const char* text) const {
    if (text == nullptr || length_ == 0 || TextLength(text) != length_)
        return false;
    return std::memcmp(text, text_.get(), static_cast<size_t>(length_)) == 0;
}

void JqString::Reverse() {
    if (length_ < 2)
        return;
    for (int32_t i = 0, j = length_ - 1; i < j; ++i, --j)
        std::swap(text_[static_cast<size_t>(i)], text_[static_cast<size_t>(j)]);
    UpdateValue();
}

bool JqString::RemoveAll(const char* pattern) {
    if (length_ == 0)
        return false;
    auto* first = new PositionNode;
    const int32_t found = FindAll(pattern, first);
    if (found == 0) {
        FreePositions(first);
        return false;
    }
    std::vector<bool> starts(static_cast<size_t>(length_), false);
    for (PositionNode* p = first; p != nullptr; p = p->next)
        starts[static_cast<size_t>(p->position)] = true;
    FreePositions(first);

    const int32_t patternLength = TextLength(pattern);
    std::string kept;
    for (int32_t i = 0; i < length_;) {
        if (starts[static_cast<size_t>(i)]) {
            i += patternLength;
        } else {
            kept.push_back(text_[static_cast<size_t>(i)]);
            ++i;
        }
    }
    const auto n = static_cast<int32_t>(kept.size());
    adopt(copyOf(kept.data(), n), n);
    return true;
}

void JqString::UpdateValue() {
    // Wraps like the signed 32-bit arithmetic it models, without signed overflow.
    uint32_t v = 0;
    for (int32_t i = 0; i < length_; ++i) {
        const char c = text_[static_cast<size_t>(i)];
        if (c >= '0' && c <= '9')
            v = v * 10u + static_cast<uint32_t>(c - '0');
        else if (c != ' ')
            break;
    }
    value_ = static_cast<int32_t>(v);
}
