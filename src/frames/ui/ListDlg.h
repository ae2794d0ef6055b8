#pragma once

#include "platform/ToolDialog.h"

#include <memory>
#include <vector>

class QLabel;
class QListView;
class FrameLabels;
class cIntList;
class cObjectManager;
class PositionTracker;

// The frame list: one entry per frame of the open file, any number selectable.
// Its presence tells the main window that frames are loaded.
class TPz4ListDlg : public ToolDialog {
    Q_OBJECT
public:
    static constexpr int ListId = 301;
    static constexpr int CountId = 204;
    static constexpr int LabelId = 402;
    // A plug-in may report any count; the list holds at most this many entries,
    // far more than any real file, so a wild count cannot exhaust memory.
    static constexpr int MaxListed = 1'000'000;

    TPz4ListDlg(QWidget* parent, cObjectManager* objectManager);
    ~TPz4ListDlg() override;

    // Lists `count` frames (at most MaxListed). Labels carry at least three digits
    // and as many as the largest frame number needs, so every label is distinct and
    // the text order is the frame order.
    void FillList(int count);
    // The selected frame numbers in ascending order, or null when none is selected.
    std::unique_ptr<cIntList> GetSelection() const;

protected:
    void storePosition() override;

private:
    std::vector<int> SelectedFrames() const;

    cObjectManager* objectManager_;
    FrameLabels* labels_;
    QListView* frameList_;
    QLabel* countText_;
    PositionTracker* tracker_;
};
