#include "frames/ListDlg.h"

#include "app/ObjectManager.h"
#include "frames/IntList.h"
#include "frames/JqString.h"
#include "platform/DialogUnits.h"
#include "platform/WindowPlacement.h"

#include <QLabel>
#include <QListWidget>
#include <algorithm>

namespace {

int digitsOf(int n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

} // namespace

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

    frameList_ = new QListWidget(this);
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
    const int countWidth = count > 999 ? digitsOf(count) : 3;
    countText_->setText(QString::fromLatin1(JqString(count, countWidth).c_str()));

    frameList_->clear();
    if (count <= 0)
        return;
    const int width = std::max(3, digitsOf(count - 1));
    QStringList labels;
    labels.reserve(count);
    // Built in frame order with equal-width numbers, which is also their text
    // order: the list is sorted without sorting it.
    for (int i = 0; i < count; ++i)
        labels << QStringLiteral("Frame ") + QString::fromLatin1(JqString(i, width).c_str());
    frameList_->addItems(labels);
}

std::vector<int> TPz4ListDlg::SelectedFrames() const {
    std::vector<int> frames;
    const QModelIndexList rows = frameList_->selectionModel()->selectedRows();
    frames.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows)
        frames.push_back(index.row());
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::unique_ptr<cIntList> TPz4ListDlg::GetSelection() const {
    const std::vector<int> frames = SelectedFrames();
    if (frames.empty())
        return nullptr;
    auto list = std::make_unique<cIntList>(frames.front());
    for (std::size_t i = 1; i < frames.size(); ++i)
        list->Append(frames[i]);
    return list;
}

void TPz4ListDlg::storePosition() {
    const QPoint p = tracker_->position();
    objectManager_->LiX = p.x();
    objectManager_->LiY = p.y();
}
