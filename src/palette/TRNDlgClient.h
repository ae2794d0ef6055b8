#pragma once

#include <QWidget>
#include <string>

class ColourGrid;
class QLabel;
class Prompts;
class cObjectManager;
struct FileDialogState;

// The colour translation window's dialog: the current table's name, the palette
// as it is (left grid) and as pixel values are shown through the table (right
// grid); Load reads a ".trn" file, Reset goes back to the identity table.
class TPz4TRNDlgClient : public QWidget {
    Q_OBJECT
public:
    static constexpr int LoadId = 101;
    static constexpr int ExitId = 110;
    static constexpr int ResetId = 128;
    static constexpr int NameId = 208;
    static constexpr int LeftGridId = 815;
    static constexpr int RightGridId = 816;
    static constexpr const char* Filter = "all Files (*.*)|*.*|TRN Files (*.trn)|*.trn";

    // `loadState` is the Load dialog's memory, kept for the whole run.
    TPz4TRNDlgClient(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                     FileDialogState& loadState);

    // Asks for a file and makes the table read from it current, whether or not
    // the file could be read; a cancelled dialog changes nothing.
    void Load();
    // Makes a fresh identity table current.
    void Reset();

private:
    // What Load does with the file chosen, and what a file dropped on the window does.
    void loadPath(const std::string& path);
    // Shows the current table's name, or "none Loaded..." for a table without one.
    void showTable();

    cObjectManager* objectManager_;
    Prompts& prompts_;
    FileDialogState& loadState_;
    QLabel* name_;
    ColourGrid* left_;
    ColourGrid* right_;
};
