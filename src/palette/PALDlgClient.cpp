#include "palette/PALDlgClient.h"

#include "app/ObjectManager.h"
#include "palette/ColourGrid.h"
#include "palette/PalManager.h"
#include "platform/DialogUnits.h"
#include "platform/FileDrop.h"
#include "platform/Prompts.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kNoticeId = 417;
constexpr int kCaptionId = 415;
constexpr int kLineId = 418;

} // namespace

TPz4PALDlgClient::TPz4PALDlgClient(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                                   FileDialogState& loadState)
    : QWidget(parent), objectManager_(objectManager), prompts_(prompts), loadState_(loadState) {
    setFont(QFont(QStringLiteral("Arial"), 8));
    const DialogUnits du(font());
    setFixedSize(du.size(233, 159));

    auto* notice = new QLabel(
        QStringLiteral("This Palette will be used if no one is defined in the loaded frames !!!"),
        this);
    notice->setObjectName(QString::number(kNoticeId));
    notice->setGeometry(du.rect(5, 4, 259, 8));

    auto* caption = new QLabel(QStringLiteral("Current Palette:"), this);
    caption->setObjectName(QString::number(kCaptionId));
    caption->setGeometry(du.rect(4, 16, 56, 8));

    name_ = new QLabel(this);
    name_->setObjectName(QString::number(NameId));
    name_->setGeometry(du.rect(60, 16, 168, 8));

    auto* line = new QFrame(this);
    line->setObjectName(QString::number(kLineId));
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(du.rect(4, 28, 224, 1));

    grid_ = new ColourGrid(
        this, [this] { return NamedPaletteColours(objectManager_->palManager.get()); });
    grid_->setObjectName(QString::number(GridId));
    grid_->setGeometry(du.rect(5, 32, 139, 121));

    auto* load = new QPushButton(QStringLiteral("Load"), this);
    load->setObjectName(QString::number(LoadId));
    load->setGeometry(du.rect(184, 32, 44, 12));
    connect(load, &QPushButton::clicked, this, &TPz4PALDlgClient::Load);

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QString::number(ExitId));
    exit->setGeometry(du.rect(184, 144, 44, 12));
    // The frame's close request: position stored, main window told once.
    connect(exit, &QPushButton::clicked, this, [this] { window()->close(); });

    new FileDropTarget(this, &loadState_, [this](const std::string& path) { loadPath(path); });
    showPalette();
}

void TPz4PALDlgClient::Load() {
    const std::optional<FileChoice> choice = prompts_.openFile(this, Filter, loadState_);
    if (choice)
        loadPath(choice->path);
}

void TPz4PALDlgClient::loadPath(const std::string& path) {
    // Frames built with the old palette share its colour storage, which outlives
    // the manager replaced here.
    objectManager_->palManager = std::make_unique<cPalManager>(path.c_str());
    showPalette();
}

void TPz4PALDlgClient::showPalette() {
    const cPalManager* palette = objectManager_->palManager.get();
    const char* name = palette ? palette->GetName() : nullptr;
    name_->setText(name ? QString::fromLocal8Bit(name) : QStringLiteral("none Loaded..."));
    grid_->update();
}
