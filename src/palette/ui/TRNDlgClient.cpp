#include "palette/ui/TRNDlgClient.h"

#include "context/ObjectManager.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"
#include "palette/ui/ColourGrid.h"

#include <QFrame>
#include <QPushButton>

namespace {

constexpr TextPlace kTexts[] = {
    {415, "Current TRN:", 4, 4, 56, 8},
    {438, "--->", 152, 76, 15, 8},
    {436, "Original Palette...", 4, 144, 60, 8},
    {437, "Translated as this....", 168, 144, 101, 8},
};

struct LinePlace {
    int id;
    int y;
};

constexpr LinePlace kLines[] = {{418, 16}, {102, 156}};

} // namespace

TPz4TRNDlgClient::TPz4TRNDlgClient(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                                   FileDialogState& loadState)
    : LoadingDlgClient(parent, prompts, loadState, Filter, QSize(313, 182)),
      objectManager_(objectManager) {
    const DialogUnits& du = units();

    PlaceTexts(this, du, kTexts);
    for (const LinePlace& l : kLines) {
        auto* line = new QFrame(this);
        line->setObjectName(QString::number(l.id));
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        line->setGeometry(du.rect(4, l.y, 304, 1));
    }

    addNameLine(NameId, QRect(60, 4, 168, 8));

    // The untranslated palette, drawn only while it has a name.
    left_ = new ColourGrid(
        this, [this] { return NamedPaletteColours(objectManager_->palManager.get()); });
    left_->setObjectName(QString::number(LeftGridId));
    left_->setGeometry(du.rect(5, 20, 139, 121));

    // Drawn while the table has a name, through whatever palette is current:
    // the colours a viewer opened now would show.
    right_ = new ColourGrid(this, [this]() -> std::optional<GridColours> {
        const cPalManager* palette = objectManager_->palManager.get();
        const cTRNManager* table = objectManager_->trnManager.get();
        if (!palette || !table || !table->GetName())
            return std::nullopt;
        return TranslatedColours(*palette, *table);
    });
    right_->setObjectName(QString::number(RightGridId));
    right_->setGeometry(du.rect(168, 20, 139, 121));

    struct ButtonPlace {
        int id;
        const char* text;
        int x;
        void (TPz4TRNDlgClient::*action)();
    };
    const ButtonPlace buttons[] = {
        {LoadId, "Load", 5, &TPz4TRNDlgClient::Load},
        {ResetId, "Reset", 134, &TPz4TRNDlgClient::Reset},
        {ExitId, "Exit", 265, &TPz4TRNDlgClient::closeWindow},
    };
    for (const ButtonPlace& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QString::number(b.id));
        button->setGeometry(du.rect(b.x, 164, 44, 12));
        connect(button, &QPushButton::clicked, this, b.action);
    }

    showTable();
}

void TPz4TRNDlgClient::loadPath(const std::string& path) {
    objectManager_->trnManager = std::make_unique<cTRNManager>(path.c_str());
    showTable();
}

void TPz4TRNDlgClient::Reset() {
    objectManager_->trnManager = std::make_unique<cTRNManager>();
    showTable();
}

void TPz4TRNDlgClient::showTable() {
    const cTRNManager* table = objectManager_->trnManager.get();
    showName(table ? table->GetName() : nullptr);
    left_->update();
    right_->update();
}
