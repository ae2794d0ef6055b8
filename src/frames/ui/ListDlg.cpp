#include "frames/ui/ListDlg.h"

#include "context/ObjectManager.h"
#include "frames/IntList.h"
#include "frames/JqString.h"
#include "platform/DialogUnits.h"
#include "platform/WindowPlacement.h"
#include "plugins/SaveNames.h"

#include <QAbstractListModel>
#include <QLabel>
#include <QListView>
#include <algorithm>

// The entries, made when shown: a file of many thousand frames costs no memory
// per entry. Rows are frame numbers, in order, so the list is sorted as built.
class FrameLabels : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void reset(int rows, int digits) {
        beginResetModel();
        rows_ = rows;
        digits_ = digits;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_)
            return {};
        return QStringLiteral("Frame ") +
               QString::fromLatin1(JqString(index.row(), digits_).c_str());
    }

private:
    int rows_ = 0;
    int digits_ = 3;
};

TPz4ListDlg::TPz4ListDlg(QWidget* parent, cObjectManager* objectManager)
    : ToolDialog(parent, closing::ListClosed,
                 // A small tool caption without a system menu, hence no close box.
                 Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      objectManager_(objectManager) {
    setWindowTitle(QStringLiteral("FrameList"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    const DialogUnits du(font());
    setFixedSize(du.size(88, 169));

    auto* label = new QLabel(QStringLiteral("Farmes:"), this);
    label->setObjectName(QString::number(LabelId));
    label->setGeometry(du.rect(4, 4, 28, 8));

    countText_ = new QLabel(this);
    countText_->setObjectName(QString::number(CountId));
    countText_->setGeometry(du.rect(36, 4, 32, 8));

    labels_ = new FrameLabels(this);
    frameList_ = new QListView(this);
    frameList_->setModel(labels_);
    frameList_->setObjectName(QString::number(ListId));
    frameList_->setGeometry(du.rect(4, 16, 80, 152));
    frameList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    frameList_->setUniformItemSizes(true);

    tracker_ = new PositionTracker(this);
}

TPz4ListDlg::~TPz4ListDlg() {
    // After a close request the position is stored already; a window closed long
    // before its disposal must not overwrite what a newer frame list stored.
    if (!closed())
        storePosition();
}

void TPz4ListDlg::FillList(int count) {
    const int countWidth = count > 999 ? decimalDigits(count) : 3;
    countText_->setText(QString::fromLatin1(JqString(count, countWidth).c_str()));

    const int rows = std::min(std::max(count, 0), MaxListed);
    labels_->reset(rows, rows > 0 ? std::max(3, decimalDigits(rows - 1)) : 3);
}

std::vector<int> TPz4ListDlg::SelectedFrames() const {
    // From the selected ranges, not one index object per selected row.
    std::vector<int> frames;
    for (const QItemSelectionRange& range : frameList_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            frames.push_back(row);
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

std::unique_ptr<cIntList> TPz4ListDlg::GetSelection() const {
    // Linked from the last number back: appending walks the whole list each time,
    // and a selection may hold every frame of a large file.
    std::unique_ptr<cIntList> list;
    const std::vector<int> frames = SelectedFrames();
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        auto node = std::make_unique<cIntList>(*it);
        node->next = std::move(list);
        list = std::move(node);
    }
    return list;
}

void TPz4ListDlg::storePosition() {
    const QPoint p = tracker_->position();
    objectManager_->LiX = p.x();
    objectManager_->LiY = p.y();
}
