#include "platform/Prompts.h"

#include <filesystem>

std::vector<FilterEntry> ParseFilter(const std::string& filter) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start <= filter.size()) {
        const auto bar = filter.find('|', start);
        const auto end = bar == std::string::npos ? filter.size() : bar;
        items.push_back(filter.substr(start, end - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::vector<FilterEntry> entries;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        FilterEntry entry{items[i], {}};
        const std::string& pats = items[i + 1];
        std::string::size_type from = 0;
        while (from <= pats.size()) {
            const auto semi = pats.find(';', from);
            const auto to = semi == std::string::npos ? pats.size() : semi;
            if (to > from)
                entry.patterns.push_back(pats.substr(from, to - from));
            if (semi == std::string::npos)
                break;
            from = semi + 1;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void Remember(FileDialogState& state, const FileChoice& choice) {
    state.path = choice.path;
    state.folder = std::filesystem::path(choice.path).parent_path().string();
    state.entry = choice.entry;
}
