#pragma once

#include "frames/JqString.h"

#include <memory>
#include <string>

class cDllManager;
class cTRNManager;
class cPalManager;
class cScriptManager;
class cIniManager;

// Where the settings file is: a pz.ini that already exists in the working folder
// stays there (portable copies, and setups from before settings had a home of
// their own); otherwise pz4/pz.ini in `userConfig`, the user's settings folder;
// the working folder's when the platform names none.
std::string SettingsFilePath(bool workingFolderHasOne, const std::string& userConfig);
// The same for this process.
std::string SettingsFilePath();

// The context every window shares: the managers, the saved window positions,
// the animation range and speed, and the open file.
class cObjectManager {
public:
    // Scans the plug-ins, makes the identity table, opens "pz.ini" (where
    // SettingsFilePath finds it), loads the palette named by "DefaultPalette"
    // (a relative name from the settings file's folder), or the default, and
    // reads the positions.
    cObjectManager();
    // Closes the open file and writes the sixteen positions to "pz.ini".
    ~cObjectManager();
    cObjectManager(const cObjectManager&) = delete;
    cObjectManager& operator=(const cObjectManager&) = delete;

    bool OpenFile(const char* path);
    void CloseFile();

    std::unique_ptr<cDllManager> dllManager;
    std::unique_ptr<cTRNManager> trnManager;
    std::unique_ptr<cPalManager> palManager;
    std::unique_ptr<cScriptManager> scriptManager; // the animator's script, or null
    std::unique_ptr<cIniManager> iniManager;

    int animSpeed = 10;
    int animFrom = 0;
    int animTo = 0;

    // Screen positions of the windows' top-left corners, named by their settings keys.
    int AnX = 0, AnY = 0;   // animator
    int LiX = 0, LiY = 0;   // frame list
    int ViWX = 0, ViWY = 0; // viewer
    int AnWX = 0, AnWY = 0; // player
    int PaX = 0, PaY = 0;   // palette
    int TRNX = 0, TRNY = 0; // colour translation
    int MaX = 0, MaY = 0;   // main button bar
    int InX = 0, InY = 0;   // information

    // Zoom factors of the viewer and the player windows (display/ZoomRange.h),
    // kept for the run and in the settings file. At the default the file gains no
    // line for them.
    int ViZoom = 1;
    int AnZoom = 1;
    // What the viewer and the player show behind transparent pixels
    // (display/Backdrop.h), kept the same way.
    int ViBack = 0;
    int AnBack = 0;
    // The player's ways of playing (its T, P and O keys), kept the same way: the
    // file's own timing (0, 1), ping-pong (0, 1), the onion skin (0 off, 1 the
    // previous frame, 2 the previous and the next).
    int AnTiming = 0;
    int AnPingPong = 0;
    int AnOnion = 0;

    bool restorePositions = true;
    JqString fileName; // full path of the open file, empty when none
    int frameCount = 0;
};
