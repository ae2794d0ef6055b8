#pragma once

#include "platform/ToolDialog.h"

class QLabel;
class QListWidget;
class cObjectManager;

// The information window: the program's title line and about text, and the
// plug-ins found at start-up, listed by file name in the order they were found;
// selecting one shows the author, version and description it reported.
class TPz4InfoDlg : public ToolDialog {
    Q_OBJECT
public:
    static constexpr int ListId = 302;
    static constexpr int AuthorId = 203;
    static constexpr int VersionId = 202;
    static constexpr int SupportsId = 201;
    static constexpr int FolderId = 204; // the folder the selected plug-in was loaded from
    static constexpr int MoreInfoId = 106;
    static constexpr int ExitId = 110;
    static constexpr int TitleId = 412;

    TPz4InfoDlg(QWidget* parent, cObjectManager* objectManager);

    // One line per plug-in, in the plug-in manager's order.
    void FillPluginList();

private:
    void ShowPlugin();

    cObjectManager* objectManager_;
    QListWidget* pluginList_;
    QLabel* authorText_;
    QLabel* versionText_;
    QLabel* supportsText_;
    QLabel* folderText_;
};
