#pragma once

#include "palette/ui/LoadingDlgClient.h"

class ColourGrid;
class cObjectManager;

// The palette window's dialog: the current palette's name and its 16 x 16 grid,
// Load to replace the palette from a ".pal" file, Exit to close the window.
// It holds no palette of its own: every use goes through the object manager.
class TPz4PALDlgClient : public LoadingDlgClient {
    Q_OBJECT
public:
    static constexpr int LoadId = 101;
    static constexpr int ExitId = 110;
    static constexpr int NameId = 205;
    static constexpr int GridId = 815;
    static constexpr const char* Filter = "all Files (*.*)|*.*|PAL Files (*.pal)|*.pal";

    // `loadState` is the Load dialog's memory, kept for the whole run.
    TPz4PALDlgClient(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                     FileDialogState& loadState);

private:
    void loadPath(const std::string& path) override;
    // Shows the current palette: its name and grid, or "none Loaded..." and no
    // grid for a palette without a name.
    void showPalette();

    cObjectManager* objectManager_;
    ColourGrid* grid_;
};
