#include "app/MainDlg.h"

#include "anim/AnimChain.h"
#include "anim/ui/AnimDlg.h"
#include "context/ObjectManager.h"
#include "display/ui/ViewManager.h"
#include "display/ui/ViewWin.h"
#include "frames/IntList.h"
#include "palette/PalManager.h"
#include "palette/ui/PALDlg.h"
#include "palette/ui/TRNDlg.h"
#include "platform/DialogUnits.h"
#include "platform/FileDrop.h"
#include "platform/QtPrompts.h"
#include "platform/WindowPlacement.h"
#include "plugins/DllManager.h"
#include "plugins/ui/InfoDlg.h"
#include "plugins/ui/OpenObjectHandler.h"
#include "plugins/ui/SaveObjectHandler.h"

#include <QPushButton>

namespace {

struct ButtonPlace {
    int id;
    const char* label;
    int x;
};

constexpr ButtonPlace kButtons[] = {
    {TPz4MainDlg::LoadId, "Load", 4},         {TPz4MainDlg::SaveId, "Save", 36},
    {TPz4MainDlg::InfoId, "Info", 68},        {TPz4MainDlg::ViewId, "View", 100},
    {TPz4MainDlg::AnimId, "Anim", 132},       {TPz4MainDlg::TrnId, "TRN", 164},
    {TPz4MainDlg::PaletteId, "Palette", 196}, {TPz4MainDlg::ExitId, "Exit", 228},
};

} // namespace

TPz4MainDlg::TPz4MainDlg(QWidget* parent, std::unique_ptr<Prompts> prompts)
    : QWidget(parent), prompts_(prompts ? std::move(prompts) : std::make_unique<QtPrompts>()),
      objectManager_(std::make_unique<cObjectManager>()) {
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    const DialogUnits du(font());
    setFixedSize(du.size(261, 22));
    for (const ButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.label), this);
        button->setObjectName(QString::number(place.id));
        button->setGeometry(du.rect(place.x, 4, 30, 14));
        button->setAutoDefault(false);
        switch (place.id) {
        case LoadId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmLoad);
            break;
        case SaveId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmSave);
            break;
        case ViewId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmView);
            break;
        case AnimId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmAnim);
            break;
        case InfoId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmInfo);
            break;
        case TrnId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmTrn);
            break;
        case PaletteId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmPalette);
            break;
        case ExitId:
            connect(button, &QPushButton::clicked, this, &TPz4MainDlg::CmExit);
            break;
        default:
            break;
        }
    }
    tracker_ = new PositionTracker(window());
    new FileDropTarget(this, &openState_,
                       [this](const std::string& path) { LoadFile(path.c_str()); });
}

TPz4MainDlg::~TPz4MainDlg() {
    recordPosition();
    if (viewManager_) {
        delete viewManager_->window();
        viewManager_.reset();
    }
    // Each records its position in the object manager as it goes, so all of
    // them go before the object manager writes the settings.
    delete infoDlg_.data();
    delete listDlg_.data();
    delete animDlg_.data();
    delete palDlg_.data();
    delete trnDlg_.data();
    // Windows closed but not yet disposed of go too: they hold the object manager.
    qDeleteAll(findChildren<ToolDialog*>(Qt::FindDirectChildrenOnly));
    objectManager_.reset();
}

void TPz4MainDlg::closingNotification(int message) {
    switch (message) {
    case closing::InfoClosed:
        EvInfoClosed();
        break;
    case closing::ListClosed:
        EvListClosed();
        break;
    case closing::ViewClosed:
        EvViewClosed();
        break;
    case closing::AnimClosed:
        EvAnimClosed();
        break;
    case closing::PaletteClosed:
        EvPaletteClosed();
        break;
    case closing::TrnClosed:
        EvTrnClosed();
        break;
    default:
        break;
    }
}

void TPz4MainDlg::EvViewClosed() {
    viewManager_.reset();
}

void TPz4MainDlg::recordPosition() {
    const QPoint p = tracker_->position();
    objectManager_->MaX = p.x();
    objectManager_->MaY = p.y();
}

void TPz4MainDlg::setTitle(const char* path) {
    QString title = QStringLiteral("Pz4.0");
    if (path)
        title += QStringLiteral(" - [") + QString::fromLocal8Bit(path) + QStringLiteral("]");
    window()->setWindowTitle(title);
}

void TPz4MainDlg::message(const char* text, const char* caption, const std::string& detail) {
    prompts_->message(this, text, caption, detail);
}

void TPz4MainDlg::CmLoad() {
    const cOpenObjectHandler handler(this, objectManager_.get(), *prompts_, openState_);
    const char* path = handler.GetPath();
    if (path)
        LoadFile(path);
}

void TPz4MainDlg::LoadFile(const char* path) {
    // Their frames come from the file about to be closed.
    for (ToolDialog* window : {static_cast<ToolDialog*>(listDlg_.data()), animDlg_.data()}) {
        if (window)
            window->Close();
    }
    closeViewer();

    if (!objectManager_->OpenFile(path)) {
        message("Unknown Format !", "Error during loading",
                objectManager_->dllManager->OpenFailure());
        setTitle(nullptr);
        return;
    }
    setTitle(path);

    listDlg_ = new TPz4ListDlg(this, objectManager_.get());
    const cObjectManager& om = *objectManager_;
    const bool saved = om.restorePositions && (om.LiX != 0 || om.LiY != 0);
    PlaceWindow(listDlg_, saved ? QPoint(om.LiX, om.LiY) : QPoint(100, 100));
    listDlg_->show();
    listDlg_->FillList(om.frameCount);
}

void TPz4MainDlg::CmSave() {
    if (!listDlg_) {
        message("No Frames loaded !");
        return;
    }
    const cSaveObjectHandler handler(this, objectManager_.get(), FileKind::Frames, *prompts_,
                                     saveState_);
    const char* path = handler.GetPath();
    if (!path)
        return;
    const char* extension = handler.GetChosenExtension();
    if (!extension) {
        message("You must select a supported extension !");
        return;
    }
    const std::unique_ptr<cIntList> selection = listDlg_->GetSelection();
    if (!selection) {
        message("No Frames selected !");
        return;
    }

    const FrameSaveResult result = SaveFrames(
        *objectManager_->dllManager, cSaveChain::Kind::Frames, selection.get(), path, extension,
        objectManager_->palManager->colors.get(), LockFailure::SaveThoseBefore);
    if (result.unlockedFrame >= 0)
        message("Can't lock frames for saving. Giving up...", "Fatal Error");
    if (result.asked && !result.saved)
        message("Error saving frame(s) !");
}

void TPz4MainDlg::closeViewer() {
    if (!viewManager_)
        return;
    if (TPz4ViewWin* window = viewManager_->window())
        window->Close();
    viewManager_.reset();
}

void TPz4MainDlg::CmView() {
    if (!listDlg_) {
        message("No Frames loaded !");
        return;
    }
    closeViewer();
    std::unique_ptr<cIntList> selection = listDlg_->GetSelection();
    if (!selection) {
        message("No Frames selected !");
        return;
    }
    viewManager_ =
        std::make_unique<cViewManager>(this, std::move(selection), objectManager_.get(), *prompts_);
}

void TPz4MainDlg::CmAnim() {
    if (!listDlg_) {
        message("No Frames loaded !");
        return;
    }
    // Every press gives a fresh animator over all frames.
    delete animDlg_.data();
    objectManager_->animFrom = 0;
    objectManager_->animTo = objectManager_->frameCount - 1;
    auto* anim = new TPz4AnimDlg(this, objectManager_.get(), {*prompts_, saveState_, scriptState_});
    animDlg_ = anim;
    anim->showNormal();
}

// An open information, translation or palette window is left as it is: a
// second press neither opens another nor brings it forward.
void TPz4MainDlg::CmInfo() {
    if (infoDlg_)
        return;
    auto* info = new TPz4InfoDlg(this, objectManager_.get());
    infoDlg_ = info;
    // Its saved place whatever it is, and whether or not positions are restored.
    PlaceWindow(info, QPoint(objectManager_->InX, objectManager_->InY));
    info->show();
    info->FillPluginList();
}

void TPz4MainDlg::CmTrn() {
    if (trnDlg_)
        return;
    trnDlg_ = new TPz4TRNDlg(this, objectManager_.get(), *prompts_, trnState_);
    trnDlg_->showNormal();
}

void TPz4MainDlg::CmPalette() {
    if (palDlg_)
        return;
    palDlg_ = new TPz4PALDlg(this, objectManager_.get(), *prompts_, paletteState_);
    palDlg_->showNormal();
}

void TPz4MainDlg::CmExit() {
    recordPosition();
    // Closed as a Cancel would close it: destroyed once the click is over, and
    // its frame closes with it.
    deleteLater();
}
