#include "plugins/ui/SaveObjectHandler.h"

#include "context/ObjectManager.h"
#include "platform/Prompts.h"
#include "plugins/DllManager.h"

#include <cctype>

namespace {

bool sameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

cSaveObjectHandler::cSaveObjectHandler(QWidget* parent, cObjectManager* objectManager,
                                       FileKind kind, Prompts& prompts, FileDialogState& state) {
    const cDllManager& plugins = *objectManager->dllManager;
    const auto choice = prompts.saveFile(parent, BuildFilter(plugins, kind), state);
    if (!choice)
        return;
    path_.Assign(choice->path.c_str());
    // The extension comes from the entry alone, whatever the user typed.
    if (const char* ext = ExtensionOfEntry(plugins, kind, choice->entry))
        extension_.Assign(ext);
    // A typed three-letter extension gives way to the plug-in's, and so does the
    // plug-in's own however long ("walk.webp" must not become walk.webp.webp);
    // other longer or shorter ones are part of the name.
    const int n = path_.length();
    const std::string typed = openingExtension(path_.c_str());
    const int cut = static_cast<int>(typed.size()) + 1;
    const bool own = !typed.empty() && sameLetters(typed, extension_.str());
    if (n >= 4 && path_.c_str()[n - 4] == '.')
        path_.Truncate(n - 4);
    else if (own && n > cut)
        path_.Truncate(n - cut);
}
