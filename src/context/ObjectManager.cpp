#include "context/ObjectManager.h"

#include "anim/ScriptManager.h"
#include "context/IniManager.h"
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

constexpr std::pair<const char*, int cObjectManager::*> kZoomKeys[] = {
    {"ViZoom", &cObjectManager::ViZoom},
    {"AnZoom", &cObjectManager::AnZoom},
};

// A zoom setting is only taken when it is plainly one of the factors offered: a
// hand-edited "3x" or "-00002" must not come back as a zoom the user never chose.
int ZoomFromText(const JqString& value) {
    std::string_view text(value.c_str());
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty())
        return zoom::kMin;
    int factor = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return zoom::kMin;
        factor = factor * 10 + (c - '0');
        if (factor > zoom::kMax)
            return zoom::kMin;
    }
    return factor < zoom::kMin ? zoom::kMin : factor;
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
    for (const auto& [key, field] : kZoomKeys) {
        JqString value;
        if (iniManager->GetString(key, value))
            this->*field = ZoomFromText(value);
    }
}

cObjectManager::~cObjectManager() {
    CloseFile();
    // A key that cannot be written keeps its old line; the others still go out.
    if (iniManager) {
        for (const PositionKey& p : kPositionKeys)
            iniManager->SetUInt(p.key, this->*p.field);
        // A run that never zoomed leaves a file without zoom lines as it found it.
        JqString present;
        for (const auto& [key, field] : kZoomKeys) {
            const int factor = this->*field;
            const bool valid = factor == zoom::clamp(factor);
            if ((valid && factor != zoom::kMin) || iniManager->GetString(key, present))
                iniManager->SetUInt(key, valid ? factor : zoom::kMin);
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
