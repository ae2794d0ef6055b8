#pragma once

#include <QWidget>
#include <string>

class ColourGrid;
class QLabel;
class Prompts;
class cObjectManager;
struct FileDialogState;

// The palette window's dialog: the current palette's name and its 16 x 16 grid,
// Load to replace the palette from a ".pal" file, Exit to close the window.
// It holds no palette of its own: every use goes through the object manager.
class TPz4PALDlgClient : public QWidget {
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

    // Asks for a file and makes the palette read from it current, whether or not
    // the file could be read; a cancelled dialog changes nothing.
    void Load();

private:
    // What Load does with the file chosen, and what a file dropped on the window does.
    void loadPath(const std::string& path);
    // Shows the current palette: its name and grid, or "none Loaded..." and no
    // grid for a palette without a name.
    void showPalette();

    cObjectManager* objectManager_;
    Prompts& prompts_;
    FileDialogState& loadState_;
    QLabel* name_;
    ColourGrid* grid_;
};
