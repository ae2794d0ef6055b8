#include "plugins/ui/InfoDlg.h"

#include "context/ObjectManager.h"
#include "platform/DialogUnits.h"
#include "plugins/DllManager.h"

#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

// The about text: fixed, never changed while the window is open.
constexpr TextPlace kAbout[] = {
    {414, "Sprite frame viewer and animator", 32, 20, 112, 8},
    {407, "Views, plays and converts palettised", 156, 8, 148, 8},
    {408, "sprite frames. Every file format is", 156, 16, 148, 8},
    {409, "read and written by a format plug-in", 156, 24, 148, 8},
    {410, "found in its plug-in folders at start.", 156, 32, 148, 8},
    {411, "Select a plug-in below for its details.", 156, 40, 148, 8},
};

constexpr TextPlace kLabels[] = {
    {403, "Author:", 104, 68, 24, 8},
    {404, "Version", 104, 80, 32, 8},
    {405, "Supports:", 104, 92, 40, 8},
    {406, "Folder:", 160, 104, 24, 8},
};

QString textOrEmpty(const char* text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

} // namespace

TPz4InfoDlg::TPz4InfoDlg(QWidget* parent, cObjectManager* objectManager)
    : ToolDialog(parent, closing::InfoClosed,
                 // A caption without system menu, hence no close box, kept on top.
                 Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowStaysOnTopHint),
      objectManager_(objectManager) {
    setWindowTitle(QStringLiteral("some specs..."));
    setFont(QFont(QStringLiteral("Arial"), 8));
    const DialogUnits du(font());
    setFixedSize(du.size(312, 146));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("800"));
    const QRect iconPlace = du.rect(9, 8, 18, 16);
    icon->setGeometry(iconPlace);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/800.png")).pixmap(iconPlace.size()));

    auto* title = new QLabel(QStringLiteral("PZ 4.0"), this);
    title->setObjectName(QString::number(TitleId));
    title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    title->setGeometry(du.rect(32, 8, 112, 8));

    auto* aboutFrame = new QFrame(this);
    aboutFrame->setObjectName(QStringLiteral("413"));
    aboutFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    aboutFrame->setGeometry(du.rect(152, 4, 156, 52));

    PlaceTexts(this, du, kAbout);

    auto* group = new QGroupBox(QStringLiteral("DLL Info"), this);
    group->setObjectName(QStringLiteral("401"));
    group->setGeometry(du.rect(4, 56, 304, 68));
    group->lower(); // behind the controls it surrounds, as a dialog's group box

    pluginList_ = new QListWidget(this);
    pluginList_->setObjectName(QString::number(ListId));
    pluginList_->setGeometry(du.rect(12, 68, 88, 52));
    pluginList_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(pluginList_, &QListWidget::itemSelectionChanged, this, &TPz4InfoDlg::ShowPlugin);

    PlaceTexts(this, du, kLabels);
    const auto makeValue = [&](int id, int y, int width) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::number(id));
        label->setGeometry(du.rect(152, y, width, 8));
        return label;
    };
    authorText_ = makeValue(AuthorId, 68, 144);
    versionText_ = makeValue(VersionId, 80, 148);
    supportsText_ = makeValue(SupportsId, 92, 148);
    // Beside "More Info": a long folder is cut in the middle, the whole of it in
    // the tooltip.
    folderText_ = new QLabel(this);
    folderText_->setObjectName(QString::number(FolderId));
    folderText_->setGeometry(du.rect(184, 104, 116, 8));

    // More Info has no action.
    auto* more = new QPushButton(QStringLiteral("More Info"), this);
    more->setObjectName(QString::number(MoreInfoId));
    more->setGeometry(du.rect(104, 104, 50, 14));

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QString::number(ExitId));
    exit->setGeometry(du.rect(131, 128, 50, 14));
    connect(exit, &QPushButton::clicked, this, &ToolDialog::Close);

    // The main window places it.
    keepPositionIn(objectManager_->InX, objectManager_->InY, false);
}

void TPz4InfoDlg::FillPluginList() {
    const cDllManager* plugins = objectManager_->dllManager.get();
    if (!plugins)
        return;
    for (int i = 0; i < plugins->count; ++i)
        pluginList_->addItem(textOrEmpty(plugins->PluginFileName(i)));
}

void TPz4InfoDlg::ShowPlugin() {
    const QList<QListWidgetItem*> selected = pluginList_->selectedItems();
    const cDllManager* plugins = objectManager_->dllManager.get();
    if (selected.isEmpty() || !plugins)
        return;
    // The list is in the manager's order: line i is plug-in i.
    const int i = pluginList_->row(selected.first());
    // A library that failed to load has no texts: its lines stay empty.
    authorText_->setText(textOrEmpty(plugins->PluginAuthor(i)));
    versionText_->setText(textOrEmpty(plugins->PluginVersion(i)));
    supportsText_->setText(textOrEmpty(plugins->PluginDescription(i)));
    const QString folder = QDir::toNativeSeparators(textOrEmpty(plugins->PluginFolder(i)));
    folderText_->setText(
        folderText_->fontMetrics().elidedText(folder, Qt::ElideMiddle, folderText_->width()));
    folderText_->setToolTip(folder);
}
