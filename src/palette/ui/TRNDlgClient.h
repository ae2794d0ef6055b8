#pragma once

#include "palette/ui/LoadingDlgClient.h"

class ColourGrid;
class cObjectManager;

// The colour translation window's dialog: the current table's name, the palette
// as it is (left grid) and as pixel values are shown through the table (right
// grid); Load reads a ".trn" file, Reset goes back to the identity table.
class TPz4TRNDlgClient : public LoadingDlgClient {
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

    // Makes a fresh identity table current.
    void Reset();

private:
    void loadPath(const std::string& path) override;
    // Shows the current table's name, or "none Loaded..." for a table without one.
    void showTable();

    cObjectManager* objectManager_;
    ColourGrid* left_;
    ColourGrid* right_;
};
