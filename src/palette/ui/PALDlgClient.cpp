#include "palette/ui/PALDlgClient.h"

#include "context/ObjectManager.h"
#include "palette/PalManager.h"
#include "palette/ui/ColourGrid.h"

#include <QFrame>
#include <QPushButton>

namespace {

constexpr TextPlace kTexts[] = {
    {417, "This Palette will be used if no one is defined in the loaded frames !!!", 5, 4, 259, 8},
    {415, "Current Palette:", 4, 16, 56, 8},
};

constexpr int kLineId = 418;

} // namespace

TPz4PALDlgClient::TPz4PALDlgClient(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                                   FileDialogState& loadState)
    : LoadingDlgClient(parent, prompts, loadState, Filter, QSize(233, 159)),
      objectManager_(objectManager) {
    const DialogUnits& du = units();

    PlaceTexts(this, du, kTexts);
    addNameLine(NameId, QRect(60, 16, 168, 8));

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
    connect(exit, &QPushButton::clicked, this, &TPz4PALDlgClient::closeWindow);

    showPalette();
}

void TPz4PALDlgClient::loadPath(const std::string& path) {
    // Frames built with the old palette share its colour storage, which outlives
    // the manager replaced here.
    objectManager_->palManager = std::make_unique<cPalManager>(path.c_str());
    showPalette();
}

void TPz4PALDlgClient::showPalette() {
    const cPalManager* palette = objectManager_->palManager.get();
    showName(palette ? palette->GetName() : nullptr);
    grid_->update();
}
