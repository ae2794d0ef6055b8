#include "palette/ui/LoadingDlgClient.h"

#include "platform/FileDrop.h"
#include "platform/Prompts.h"

#include <QLabel>

LoadingDlgClient::LoadingDlgClient(QWidget* parent, Prompts& prompts, FileDialogState& loadState,
                                   const char* filter, QSize size)
    : QWidget(parent), prompts_(prompts), loadState_(loadState), filter_(filter) {
    setFont(QFont(QStringLiteral("Arial"), 8));
    units_ = DialogUnits(font());
    setFixedSize(units_.size(size.width(), size.height()));
    new FileDropTarget(this, &loadState_, [this](const std::string& path) { loadPath(path); });
}

void LoadingDlgClient::Load() {
    const std::optional<FileChoice> choice = prompts_.openFile(this, filter_, loadState_);
    if (choice)
        loadPath(choice->path);
}

void LoadingDlgClient::addNameLine(int id, QRect place) {
    name_ = new QLabel(this);
    name_->setObjectName(QString::number(id));
    name_->setGeometry(units_.rect(place.x(), place.y(), place.width(), place.height()));
}

void LoadingDlgClient::showName(const char* name) {
    name_->setText(name ? QString::fromLocal8Bit(name) : QStringLiteral("none Loaded..."));
}

void LoadingDlgClient::closeWindow() {
    window()->close();
}
