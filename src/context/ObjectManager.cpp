#include "context/ObjectManager.h"

#include "anim/ScriptManager.h"
#include "context/IniManager.h"
#include "display/Backdrop.h"
#include "display/ZoomRange.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"
#include "plugins/DllManager.h"
#include "plugins/ProgramFolders.h"

#include <filesystem>
#include <system_error>

#include <string_view>
#include <utility>

namespace {

constexpr const char* kSettingsName = "pz.ini";

// The order the positions are read at start-up and written at the end.
struct PositionKey {
    const char* key;
    int cObjectManager::*field;
};

constexpr PositionKey kPositionKeys[] = {
    {"LiX", &cObjectManager::LiX},   {"LiY", &cObjectManager::LiY},
    {"AnX", &cObjectManager::AnX},   {"AnY", &cObjectManager::AnY},
    {"AnWX", &cObjectManager::AnWX}, {"AnWY", &cObjectManager::AnWY},
    {"ViWX", &cObjectManager::ViWX}, {"ViWY", &cObjectManager::ViWY},
    {"PaX", &cObjectManager::PaX},   {"PaY", &cObjectManager::PaY},
    {"TRNX", &cObjectManager::TRNX}, {"TRNY", &cObjectManager::TRNY},
    {"MaX", &cObjectManager::MaX},   {"MaY", &cObjectManager::MaY},
    {"InX", &cObjectManager::InX},   {"InY", &cObjectManager::InY},
};

// Settings of a window's look that the file only gains once they differ from the
// default: the zoom factors and the backdrops behind transparent pixels.
struct ChoiceKey {
    const char* key;
    int cObjectManager::*field;
    int first, last; // the values offered; the first is the default
};

constexpr ChoiceKey kChoiceKeys[] = {
    {"ViZoom", &cObjectManager::ViZoom, zoom::kMin, zoom::kMax},
    {"AnZoom", &cObjectManager::AnZoom, zoom::kMin, zoom::kMax},
    {"ViBack", &cObjectManager::ViBack, 0, kBackdropCount - 1},
    {"AnBack", &cObjectManager::AnBack, 0, kBackdropCount - 1},
    {"AnTiming", &cObjectManager::AnTiming, 0, 1},
    {"AnPingPong", &cObjectManager::AnPingPong, 0, 1},
    {"AnOnion", &cObjectManager::AnOnion, 0, 2},
};

// A choice is only taken when it is plainly one of the values offered: a
// hand-edited "3x" or "-00002" must not come back as a setting the user never chose.
int ChoiceFromText(const JqString& value, const ChoiceKey& choice) {
    std::string_view text(value.c_str());
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty())
        return choice.first;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return choice.first;
        n = n * 10 + (c - '0');
        if (n > choice.last)
            return choice.first;
    }
    return n < choice.first ? choice.first : n;
}

} // namespace

std::string SettingsFilePath(bool workingFolderHasOne, const std::string& userConfig) {
    if (workingFolderHasOne || userConfig.empty())
        return kSettingsName;
    return (std::filesystem::path(userConfig) / "pz4" / kSettingsName).string();
}

std::string SettingsFilePath() {
    std::error_code ec;
    return SettingsFilePath(std::filesystem::is_regular_file(kSettingsName, ec),
                            userConfigFolder());
}

cObjectManager::cObjectManager() {
    dllManager = std::make_unique<cDllManager>();
    trnManager = std::make_unique<cTRNManager>();
    iniManager = std::make_unique<cIniManager>(SettingsFilePath().c_str());
    JqString palettePath;
    if (iniManager->GetString("DefaultPalette", palettePath)) {
        // Written by hand beside the settings, so a bare name is read from there.
        const std::filesystem::path named(palettePath.str());
        const std::filesystem::path folder =
            std::filesystem::path(iniManager->fileName.str()).parent_path();
        const std::string path =
            named.is_relative() && !folder.empty() ? (folder / named).string() : named.string();
        palManager = std::make_unique<cPalManager>(path.c_str());
    } else {
        palManager = std::make_unique<cPalManager>();
    }
    for (const PositionKey& p : kPositionKeys) {
        int32_t value = 0;
        if (iniManager->GetUInt(p.key, value))
            this->*p.field = value;
    }
    for (const ChoiceKey& choice : kChoiceKeys) {
        JqString value;
        if (iniManager->GetString(choice.key, value))
            this->*choice.field = ChoiceFromText(value, choice);
    }
}

cObjectManager::~cObjectManager() {
    CloseFile();
    // A key that cannot be written keeps its old line; the others still go out.
    if (iniManager) {
        for (const PositionKey& p : kPositionKeys)
            iniManager->SetUInt(p.key, this->*p.field);
        // A run that never changed them leaves a file without their lines as it
        // found it.
        JqString present;
        for (const ChoiceKey& choice : kChoiceKeys) {
            const int value = this->*choice.field;
            const bool valid = value >= choice.first && value <= choice.last;
            if ((valid && value != choice.first) || iniManager->GetString(choice.key, present))
                iniManager->SetUInt(choice.key, valid ? value : choice.first);
        }
    }
    iniManager.reset();
    dllManager.reset();
    trnManager.reset();
    palManager.reset();
    scriptManager.reset();
}

bool cObjectManager::OpenFile(const char* path) {
    // Copied first: the path may be the open file's own name, which closing frees.
    JqString opening(path);
    CloseFile();
    if (!dllManager->OpenObject(opening.text()))
        return false;
    fileName = std::move(opening);
    frameCount = dllManager->FrameCount();
    return true;
}

void cObjectManager::CloseFile() {
    if (dllManager)
        dllManager->CloseObject();
    fileName = JqString();
    frameCount = 0;
}
