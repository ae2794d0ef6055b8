// JqString's edge rules: the settings file, the frame list and the script
// reader depend on them exactly.
#include "frames/JqString.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::vector<int32_t> positionsOf(const char* text, const char* pattern, int32_t* count) {
    JqString s(text);
    auto* first = new PositionNode;
    *count = s.FindAll(pattern, first);
    std::vector<int32_t> positions;
    if (*count > 0)
        for (PositionNode* p = first; p != nullptr; p = p->next)
            positions.push_back(p->position);
    FreePositions(first);
    return positions;
}

std::vector<std::string> fieldsOf(const char* text, char separator) {
    JqString s(text);
    auto* first = new FieldNode;
    const int32_t count = s.Split(separator, first);
    std::vector<std::string> fields;
    if (count > 0)
        for (FieldNode* f = first; f != nullptr; f = f->next)
            fields.push_back(
                s.str().substr(static_cast<size_t>(f->start), static_cast<size_t>(f->length)));
    FreeFields(first);
    EXPECT_EQ(static_cast<size_t>(count), fields.size()) << text;
    return fields;
}

} // namespace

TEST(JqStringValue, ScansDigitsSkipsBlanksStopsAtAnythingElse) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"12 34", 1234},
        {" 7", 7},
        {"12a5", 12},
        {"-5", 0},
        {"abc", 0},
        {"", 0},
        {"007", 7},
        {"12\r", 12},
        {"   ", 0},
        // Signed 32-bit wrap-around, as the settings reader has always seen it.
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"4294967297", 1},
        {"21474836470", -10},
        {"99999999999", 1215752191},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JqString(c.text).value(), c.value) << '"' << c.text << '"';
        JqString assigned;
        assigned.Assign(c.text);
        EXPECT_EQ(assigned.value(), c.value) << '"' << c.text << '"';
    }
}

TEST(JqStringNumber, KeepsTheLowestDigitsAtAFixedWidth) {
    const struct {
        int32_t number, width;
        const char* text;
    } cases[] = {
        {7, 3, "007"},
        {0, 2, "00"},
        {1234, 3, "234"},
        {-7, 3, "-007"},
        {5, 1, "5"},
        {-1234, 2, "-34"},
        {INT32_MAX, 2, "47"},
        {99, 10, "0000000099"},
        {INT32_MIN, 10, "-2147483648"},
    };
    for (const auto& c : cases) {
        const JqString s(c.number, c.width);
        EXPECT_STREQ(s.c_str(), c.text) << c.number << ',' << c.width;
        EXPECT_EQ(s.length(), JqString::TextLength(c.text));
        EXPECT_EQ(s.value(), c.number); // no scan, even where digits were dropped
    }
}

TEST(JqStringConstruction, NoneAndEmptyTextGiveNoBuffer) {
    for (const char* text : {static_cast<const char*>(nullptr), ""}) {
        const JqString s(text);
        EXPECT_EQ(s.text(), nullptr);
        EXPECT_EQ(s.length(), 0);
        EXPECT_EQ(s.value(), 0);
        EXPECT_STREQ(s.c_str(), "");
    }
    EXPECT_EQ(JqString::TextLength(nullptr), 0);
}

TEST(JqStringConstruction, CopiesNeverShareCharacters) {
    JqString a("12");
    JqString b(a);
    b.ReplaceChar('1', '9');
    EXPECT_STREQ(a.c_str(), "12");
    EXPECT_STREQ(b.c_str(), "92");
    a = b;
    b.Assign("x");
    EXPECT_STREQ(a.c_str(), "92");
    EXPECT_EQ(a.value(), 12); // the copied cache, not a rescan
    JqString moved(std::move(a));
    EXPECT_STREQ(moved.c_str(), "92");
    EXPECT_EQ(a.length(), 0); // NOLINT(bugprone-use-after-move): moved-from is empty
}

TEST(JqStringAppend, JoinsAndAlwaysRecomputesTheValue) {
    const struct {
        const char* start;
        const char* added;
        const char* result;
        int32_t value;
    } cases[] = {
        {"", "abc", "abc", 0},      {"abc", "", "abc", 0},  {"abc", nullptr, "abc", 0},
        {"12", "34", "1234", 1234}, {nullptr, "7", "7", 7},
    };
    for (const auto& c : cases) {
        JqString s(c.start);
        s.Append(c.added);
        EXPECT_STREQ(s.c_str(), c.result);
        EXPECT_EQ(s.length(), JqString::TextLength(c.result));
        EXPECT_EQ(s.value(), c.value);
    }
    JqString stale("11");
    stale.ReplaceChar('1', '2');
    stale.Append("");
    EXPECT_EQ(stale.value(), 22);
}

TEST(JqStringLength, TruncateAndResize) {
    const struct {
        const char* start;
        bool resize; // else Truncate
        int32_t n;
        const char* result;
        int32_t value;
    } cases[] = {
        {"abc", false, 5, "abc", 0}, {"123", false, 1, "1", 1},   {"123", false, 0, "", 0},
        {"ab", true, 4, "ab  ", 0},  {"12", true, 4, "12  ", 12}, {"", true, 3, "   ", 0},
        {"abc", true, 1, "a", 0},    {"34", true, 2, "34", 34},   {"", false, 0, "", 0},
    };
    for (const auto& c : cases) {
        JqString s(c.start);
        if (c.resize)
            s.Resize(c.n);
        else
            s.Truncate(c.n);
        EXPECT_STREQ(s.c_str(), c.result)
            << c.start << (c.resize ? " resize " : " truncate ") << c.n;
        EXPECT_EQ(s.length(), JqString::TextLength(c.result));
        EXPECT_EQ(s.value(), c.value);
        EXPECT_EQ(s.text() == nullptr, s.length() == 0); // empty means no buffer
    }
    JqString stale("11");
    stale.ReplaceChar('1', '2');
    EXPECT_EQ(stale.value(), 11); // ReplaceChar leaves the cache
    stale.Truncate(9);
    EXPECT_EQ(stale.value(), 22);
}

TEST(JqStringSubString, NoneWhenTheCharactersDoNotAllExist) {
    const struct {
        const char* text;
        int32_t start, count;
        const char* result; // null: none
    } cases[] = {
        {"abc", 1, 2, "bc"}, {"abc", 2, 2, nullptr},         {"abc", 0, 3, "abc"},
        {"abc", 3, 0, ""},   {"abc", 4, 0, nullptr},         {"", 0, 0, ""},
        {"", 0, 1, nullptr}, {"abc", 1, INT32_MAX, nullptr}, // start + count must not wrap into
                                                             // range
    };
    for (const auto& c : cases) {
        const auto sub = JqString(c.text).SubString(c.start, c.count);
        if (c.result == nullptr)
            EXPECT_EQ(sub, nullptr) << c.text << ' ' << c.start << ' ' << c.count;
        else
            EXPECT_STREQ(sub.get(), c.result);
    }
}

TEST(JqStringFindAll, OverlappingOccurrencesInOrder) {
    const struct {
        const char* text;
        const char* pattern;
        std::vector<int32_t> positions;
    } cases[] = {
        {"aaa", "aa", {0, 1}}, {"abcb", "b", {1, 3}}, {"aaa", "", {}},         {"aaa", nullptr, {}},
        {"ab", "abc", {}},     {"", "a", {}},         {"xabab", "ab", {1, 3}},
    };
    for (const auto& c : cases) {
        int32_t count = -1;
        EXPECT_EQ(positionsOf(c.text, c.pattern, &count), c.positions) << c.text;
        EXPECT_EQ(count, static_cast<int32_t>(c.positions.size()));
    }
}

TEST(JqStringFindAll, NothingFoundLeavesTheFirstNodeAlone) {
    JqString s("abc");
    PositionNode first;
    first.position = 42;
    EXPECT_EQ(s.FindAll("z", &first), 0);
    EXPECT_EQ(first.position, 42);
    EXPECT_EQ(first.next, nullptr);
}

TEST(JqStringSplit, SkipsEmptyFieldsAndDropsTheLastCharacter) {
    const struct {
        const char* text;
        char separator;
        std::vector<std::string> fields;
    } cases[] = {
        {"ab,cd", ',', {"ab", "c"}},
        {"ab,cd\r", ',', {"ab", "cd"}},
        {",a,,b\r", ',', {"a", "b"}},
        {"x", ',', {}},
        {"", ',', {}},
        {",,", ',', {}},
        {"a,", ',', {"a"}},
        {"ab", ',', {"a"}},
        {"Key=Value\r", '=', {"Key", "Value"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldsOf(c.text, c.separator), c.fields) << c.text;
}

TEST(JqStringIsEqual, EmptyStringEqualsNothing) {
    const struct {
        const char* text;
        const char* other;
        bool equal;
    } cases[] = {
        {"", "", false},      {"", nullptr, false}, {nullptr, "", false},   {"ab", "ab", true},
        {"ab", "abc", false}, {"ab", "aB", false},  {"ab", nullptr, false}, {"ab", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JqString(c.text).IsEqual(c.other), c.equal)
            << (c.text ? c.text : "(none)") << " vs " << (c.other ? c.other : "(none)");
}

TEST(JqStringReverse, ReversesAndRescans) {
    JqString s("12a");
    s.Reverse();
    EXPECT_STREQ(s.c_str(), "a21");
    EXPECT_EQ(s.value(), 0);
    JqString digits("21");
    digits.Reverse();
    EXPECT_EQ(digits.value(), 12);
    JqString one("x");
    one.Reverse();
    EXPECT_STREQ(one.c_str(), "x");
}

TEST(JqStringRemoveAll, RemovesOccurrencesNotStartingInsideARemovedOne) {
    const struct {
        const char* text;
        const char* pattern;
        bool removed;
        const char* result;
        int32_t value;
    } cases[] = {
        {"aaaa", "aa", true, "", 0},      {"aaa", "aa", true, "a", 0},
        {"abcabc", "b", true, "acac", 0}, {"1x2x3", "x", true, "123", 123},
        {"abc", "x", false, "abc", 0},    {"", "a", false, "", 0},
        {"abc", "", false, "abc", 0},     {"abc", nullptr, false, "abc", 0},
        {"abab", "ab", true, "", 0},
    };
    for (const auto& c : cases) {
        JqString s(c.text);
        EXPECT_EQ(s.RemoveAll(c.pattern), c.removed) << c.text;
        EXPECT_STREQ(s.c_str(), c.result) << c.text;
        EXPECT_EQ(s.length(), JqString::TextLength(c.result));
        EXPECT_EQ(s.value(), c.value);
        EXPECT_EQ(s.text() == nullptr, s.length() == 0); // empty means no buffer
    }
}
