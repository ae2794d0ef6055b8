#include "anim/ScriptManager.h"

#include <cstdio>

namespace {

// The reader stores the end of the file as this byte where the next byte would
// have gone, so the last line of a file without a final line feed ends in it.
constexpr char kEndMarker = static_cast<char>(0xFF);

enum class ParseResult { Ok, Empty, OutOfRange };

struct Line {
    // The limit, the end marker's byte is never stored past it, and the NUL.
    char bytes[cScriptManager::kLineLimit + 2] = {};
    int length = 0;
    bool atEnd = false; // the file ended in (or right after) this line
};

void ReadLine(std::FILE* file, Line& line) {
    line.length = 0;
    line.atEnd = false;
    for (;;) {
        const int c = std::fgetc(file);
        if (c == EOF) {
            // A read error ends the script as the end of the file does.
            line.bytes[line.length++] = kEndMarker;
            line.bytes[line.length] = '\0';
            line.atEnd = true;
            return;
        }
        line.bytes[line.length++] = static_cast<char>(c);
        line.bytes[line.length] = '\0';
        if (c == '\n' || line.length == cScriptManager::kLineLimit)
            return;
    }
}

bool Contains(const JqString& text, const char* pattern) {
    auto* first = new PositionNode;
    const int32_t found = text.FindAll(pattern, first);
    FreePositions(first);
    return found > 0;
}

// Adds the line's step, if it is one, after `tail` (or as the first step).
ParseResult ParseLine(const Line& line, std::unique_ptr<cScriptList>& steps, cScriptList*& tail) {
    const char* b = line.bytes;
    if (b[0] == '\0')
        return ParseResult::Empty;
    if (b[0] == '/' || b[1] == '/' || b[0] == '\n')
        return ParseResult::Ok;
    // Nothing but the end marker: the file ended in a line feed (or is empty),
    // which ends the script and adds no step.
    if (line.atEnd && line.length == 1)
        return ParseResult::Ok;
    // A blank line written with a carriage return is as empty as one without.
    if (line.length == 2 && b[0] == '\r' && b[1] == '\n')
        return ParseResult::Ok;

    const JqString text(b);
    const int32_t frame = text.value();
    // The value wraps on very long digit runs; a wrapped, negative number is as
    // much out of range as one above the limit.
    if (frame < 0 || frame > cScriptManager::kMaxFrameNumber)
        return ParseResult::OutOfRange;
    const int32_t flags =
        (Contains(text, "MIRROR_X") ? 1 : 0) | (Contains(text, "MIRROR_Y") ? 2 : 0);
    if (tail == nullptr) {
        steps = std::make_unique<cScriptList>(frame, flags);
        tail = steps.get();
    } else {
        tail = tail->Append(frame, flags);
    }
    return ParseResult::Ok;
}

} // namespace

cScriptManager::cScriptManager(const char* path) : fileName(path) {
    // Each load reads through its own buffer and handle.
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        SetError("File not found !");
        return;
    }
    Line line;
    cScriptList* tail = nullptr;
    for (int32_t lineNumber = 1;; ++lineNumber) {
        ReadLine(file, line);
        const ParseResult result = ParseLine(line, steps, tail);
        if (result != ParseResult::Ok) {
            // All steps or none: a script that goes wrong part way is not played.
            steps.reset();
            if (result == ParseResult::OutOfRange) {
                JqString message("Index out of range in Line ");
                message.Append(JqString(lineNumber, 4).c_str());
                SetError(message.c_str());
            }
            break;
        }
        if (line.atEnd)
            break;
    }
    std::fclose(file);
}
