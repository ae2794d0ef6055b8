#include "anim/ui/AnimDlgClient.h"

#include "anim/AnimChain.h"
#include "anim/ScriptManager.h"
#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "frames/FrameList.h"
#include "frames/JqString.h"
#include "palette/PalManager.h"
#include "platform/DialogUnits.h"
#include "platform/FileDrop.h"
#include "platform/Prompts.h"
#include "plugins/DllManager.h"
#include "plugins/SaveNames.h"
#include "plugins/ui/SaveObjectHandler.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace {

constexpr const char* kScriptFilter = "all Files (*.*)|*.*|Script Files (*.scp)|*.scp";
// ReadNumber looks at no more of an edit's text than this.
constexpr int kReadLimit = 254;

QString numberText(int value, int digits) {
    return QString::fromLatin1(JqString(value, digits).c_str());
}

} // namespace

TPz4AnimDlgClient::TPz4AnimDlgClient(QWidget* parent, cObjectManager* objectManager,
                                     AnimatorPrompts prompts)
    : QWidget(parent), objectManager_(objectManager), prompts_(prompts),
      frameDigits_(std::max(MinFrameDigits, decimalDigits(objectManager->frameCount - 1))) {
    setFont(QFont(QStringLiteral("Arial"), 8));
    const DialogUnits du(font());
    setFixedSize(du.size(161, 77));

    auto label = [&](int id, const char* text, QRect place) {
        auto* w = new QLabel(QString::fromLatin1(text), this);
        w->setObjectName(QString::number(id));
        // A font wider than the one the layout was made for would cut the text
        // off; the free space right of each label takes the rest.
        place.setWidth(std::max(place.width(), w->sizeHint().width()));
        w->setGeometry(place);
    };
    auto edit = [&](int id, const char* text, QRect place, int maxLength) {
        auto* w = new QLineEdit(QString::fromLatin1(text), this);
        w->setObjectName(QString::number(id));
        w->setGeometry(place);
        w->setMaxLength(maxLength);
        w->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), w));
        w->installEventFilter(this);
        // A drop is a file for the animator, never typing: text dragged onto an
        // edit would change a number without its check running.
        w->setAcceptDrops(false);
        return w;
    };
    auto button = [&](int id, const char* text, QRect place, void (TPz4AnimDlgClient::*slot)()) {
        auto* w = new QPushButton(QString::fromLatin1(text), this);
        w->setObjectName(QString::number(id));
        w->setGeometry(place);
        w->setAutoDefault(false);
        connect(w, &QPushButton::clicked, this, slot);
        return w;
    };

    label(FrameFromLabelId, "Frame from", du.rect(4, 8, 36, 8));
    label(FromLabelId, "from", du.rect(72, 8, 16, 8));
    fromEdit_ = edit(FromId, "000", du.rect(92, 4, 24, 12), frameDigits_);
    label(ToLabelId, "to", du.rect(120, 8, 12, 8));
    toEdit_ = edit(ToId, "000", du.rect(132, 4, 24, 12), frameDigits_);
    label(SpeedLabelId, "Speed", du.rect(4, 24, 28, 8));
    button(MinusId, "-", du.rect(80, 20, 16, 12), &TPz4AnimDlgClient::DecreaseSpeed);
    speedEdit_ = edit(SpeedId, "10", du.rect(100, 20, 32, 12), SpeedDigits);
    button(PlusId, "+", du.rect(136, 20, 16, 12), &TPz4AnimDlgClient::IncreaseSpeed);

    scriptCheck_ = new QCheckBox(QStringLiteral("Enable Script"), this);
    scriptCheck_->setObjectName(QString::number(ScriptCheckId));
    scriptCheck_->setGeometry(du.rect(4, 36, 60, 12));
    // The text stands left of the box.
    scriptCheck_->setLayoutDirection(Qt::RightToLeft);
    button(LoadScriptId, "Load Script", du.rect(104, 36, 52, 12), &TPz4AnimDlgClient::LoadScript);

    auto* line = new QFrame(this);
    line->setObjectName(QString::number(LineId));
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(du.rect(4, 52, 152, 1).adjusted(0, 0, 0, 1));

    button(PlayId, "Play", du.rect(4, 60, 36, 12), &TPz4AnimDlgClient::Play);
    stopButton_ = button(StopId, "Stop", du.rect(44, 60, 32, 12), &TPz4AnimDlgClient::ToggleStop);
    button(SaveId, "Save", du.rect(80, 60, 36, 12), &TPz4AnimDlgClient::Save);
    // Exit closes the whole animator window, not just this client.
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QString::number(ExitId));
    exit->setGeometry(du.rect(120, 60, 36, 12));
    exit->setAutoDefault(false);
    connect(exit, &QPushButton::clicked, this, [this] { window()->close(); });

    new FileDropTarget(this, &prompts_.scriptState,
                       [this](const std::string& path) { loadScriptPath(path); });
}

TPz4AnimDlgClient::~TPz4AnimDlgClient() {
    paused_ = true;
    closePlayer();
}

void TPz4AnimDlgClient::closePlayer() {
    // The player's closing message clears `player_` before Close returns.
    if (TPz4AnimWin* running = player_)
        running->Close();
    player_ = nullptr;
}

void TPz4AnimDlgClient::closingNotification(int message) {
    if (message == closing::AnimClosed)
        PlayerClosed();
}

void TPz4AnimDlgClient::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    FillEdits();
}

void TPz4AnimDlgClient::FillEdits() {
    if (!firstPaint_)
        return;
    firstPaint_ = false;
    speedEdit_->setText(numberText(objectManager_->animSpeed, SpeedDigits));
    fromEdit_->setText(numberText(objectManager_->animFrom, frameDigits_));
    toEdit_->setText(numberText(objectManager_->animTo, frameDigits_));
}

bool TPz4AnimDlgClient::eventFilter(QObject* watched, QEvent* event) {
    // Leaving an edit checks it; clicking a button moves the focus first, so a
    // button press sees the checked value.
    if (event->type() == QEvent::FocusOut) {
        if (watched == speedEdit_)
            CheckSpeed();
        else if (watched == fromEdit_)
            CheckFrom();
        else if (watched == toEdit_)
            CheckTo();
    }
    return QWidget::eventFilter(watched, event);
}

int TPz4AnimDlgClient::ReadNumber(const QLineEdit* edit) const {
    const QByteArray text = edit->text().left(kReadLimit).toLatin1();
    return JqString(text.constData()).value();
}

void TPz4AnimDlgClient::setSpeed(int v) {
    speedEdit_->setText(numberText(v, SpeedDigits));
    objectManager_->animSpeed = v;
    if (player_)
        player_->SetDelay(MaxSpeed - v);
}

void TPz4AnimDlgClient::IncreaseSpeed() {
    const int v = ReadNumber(speedEdit_);
    setSpeed(v >= MaxSpeed ? MaxSpeed : v + 1);
}

void TPz4AnimDlgClient::DecreaseSpeed() {
    const int v = ReadNumber(speedEdit_);
    setSpeed(v <= 0 ? 0 : v - 1);
}

void TPz4AnimDlgClient::CheckSpeed() {
    setSpeed(std::clamp(ReadNumber(speedEdit_), 0, MaxSpeed));
}

void TPz4AnimDlgClient::CheckFrom() {
    int f = ReadNumber(fromEdit_);
    const int t = ReadNumber(toEdit_);
    if (t < f)
        f = t;
    if (f < 0)
        f = 0;
    fromEdit_->setText(numberText(f, frameDigits_));
}

void TPz4AnimDlgClient::CheckTo() {
    const int f = ReadNumber(fromEdit_);
    int t = std::max(ReadNumber(toEdit_), f);
    const int last = objectManager_->frameCount - 1;
    if (t > last)
        t = last;
    toEdit_->setText(numberText(t, frameDigits_));
}

void TPz4AnimDlgClient::message(const char* text, const char* caption) {
    prompts_.prompts.message(this, text, caption);
}

std::unique_ptr<cFrameList> TPz4AnimDlgClient::BuildFrameChain() {
    cDllManager& plugins = *objectManager_->dllManager;
    const std::shared_ptr<unsigned char[]>& palette = objectManager_->palManager->colors;
    if (scriptCheck_->isChecked()) {
        const cScriptManager* script = objectManager_->scriptManager.get();
        if (script == nullptr) {
            message("No script loaded !");
            return nullptr;
        }
        if (!script->steps) {
            message("No valid script loaded !");
            return nullptr;
        }
        return LockScriptSteps(plugins, palette, *script->steps);
    }
    // The edits are read once: nothing can change them while the frames are locked.
    return LockFrameRange(plugins, palette, ReadNumber(fromEdit_), ReadNumber(toEdit_));
}

void TPz4AnimDlgClient::Play() {
    closePlayer();
    std::unique_ptr<cFrameList> frames = BuildFrameChain();
    if (!frames) {
        message("Can't create FrameList !");
        return;
    }
    player_ = new TPz4AnimWin(this, objectManager_, std::move(frames));
    connect(player_, &TPz4AnimWin::pauseToggleRequested, this, &TPz4AnimDlgClient::ToggleStop);
    player_->show();
    player_->SetDelay(MaxSpeed - ReadNumber(speedEdit_));
    player_->setTimer(TPz4AnimWin::TimerId, TPz4AnimWin::TimerPeriodMs);
}

void TPz4AnimDlgClient::ToggleStop() {
    if (!player_)
        return;
    paused_ = !paused_;
    player_->SetPaused(paused_);
    stopButton_->setText(paused_ ? QStringLiteral("Cont") : QStringLiteral("Stop"));
}

void TPz4AnimDlgClient::PlayerClosed() {
    player_ = nullptr;
    stopButton_->setText(QStringLiteral("Stop"));
    paused_ = false;
}

void TPz4AnimDlgClient::LoadScript() {
    const auto choice = prompts_.prompts.openFile(this, kScriptFilter, prompts_.scriptState);
    if (choice)
        loadScriptPath(choice->path);
}

void TPz4AnimDlgClient::loadScriptPath(const std::string& path) {
    objectManager_->scriptManager = std::make_unique<cScriptManager>(path.c_str());
}

void TPz4AnimDlgClient::Save() {
    // Its own chain: a running player keeps the one it plays.
    const std::unique_ptr<cFrameList> frames = BuildFrameChain();
    if (!frames) {
        message("Can't create FrameList !!!", "SAVE ERROR");
        return;
    }
    const cSaveObjectHandler handler(this, objectManager_, FileKind::Anim, prompts_.prompts,
                                     prompts_.saveState);
    const char* path = handler.GetPath();
    if (path == nullptr)
        return;
    const char* extension = handler.GetChosenExtension();
    if (extension == nullptr) {
        message("You must select a supported extension !");
        return;
    }
    JqString fileName(path);
    fileName.Append(".");
    fileName.Append(extension);
    if (!SaveAnimation(*objectManager_->dllManager, *frames, fileName.c_str(), extension,
                       objectManager_->palManager->colors.get()))
        message("Error saving frame(s) !");
}
