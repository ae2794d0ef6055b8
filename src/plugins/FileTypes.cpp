#include "plugins/FileTypes.h"

#include "plugins/DllManager.h"

namespace {

bool listed(const cDllManager& plugins, FileKind kind, int i) {
    switch (kind) {
    case FileKind::Frames:
        return plugins.PluginSavesFrames(i);
    case FileKind::Anim:
        return plugins.PluginSavesAnims(i);
    case FileKind::Any:
        break;
    }
    return true;
}

std::string orEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

} // namespace

std::string BuildFilter(const cDllManager& plugins, FileKind kind) {
    std::string filter = "all Files (*.*)|*.*";
    for (int i = 0; i < plugins.count; ++i) {
        if (!listed(plugins, kind, i))
            continue;
        const std::string ext = orEmpty(plugins.PluginExtension(i));
        // Appended piece by piece: g++ 12 at -O3 misreads `"|" + std::string` as overlapping.
        filter.append("|").append(orEmpty(plugins.PluginDescription(i)));
        filter.append(" (*.").append(ext).append(")|*.").append(ext);
    }
    return filter;
}

const char* ExtensionOfEntry(const cDllManager& plugins, FileKind kind, int entry) {
    if (entry < 2)
        return nullptr;
    int seen = 0;
    for (int i = 0; i < plugins.count; ++i) {
        if (listed(plugins, kind, i) && ++seen == entry - 1)
            return plugins.PluginExtension(i);
    }
    return nullptr;
}
