#include "display/ui/AnimWin.h"

#include "context/ObjectManager.h"
#include "display/ui/FramePixmapCache.h"
#include "frames/FrameList.h"
#include "palette/TRNManager.h"
#include "platform/WindowTimer.h"
#include "platform/ZoomControl.h"

#include <QCloseEvent>
#include <QCursor>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <climits>

TPz4AnimWin::TPz4AnimWin(QWidget* parent, cObjectManager* objectManager,
                         std::unique_ptr<cFrameList> frames)
    : ToolDialog(parent, closing::AnimClosed, QStringLiteral("Player")),
      objectManager_(objectManager), timer_(new WindowTimer(this, [this](int id) { Tick(id); })) {
    // Steps paint over what the earlier ones left: nothing is cleared first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetFrames(std::move(frames));
    zoom_ = zoom::clamp(objectManager_->AnZoom);
    fileTiming_ = objectManager_->AnTiming == 1;
    pingPong_ = objectManager_->AnPingPong == 1;
    onion_ = std::clamp(objectManager_->AnOnion, 0, 2);
    setOuterSize(outerSizeForZoom());
    keepPositionIn(objectManager_->AnWX, objectManager_->AnWY, objectManager_->restorePositions);
    zoomControl_ = new ZoomControl(this, zoom_, [this](int factor) { setZoom(factor); });
    setFocusPolicy(Qt::StrongFocus);
    paused_ = false;
}

QSize TPz4AnimWin::outerSizeForZoom() const {
    if (zoom_ == 1)
        return QSize(maxWidth_ <= MaxOuterWidth ? maxWidth_ + BorderWidth : MaxOuterWidth,
                     maxHeight_ + BorderHeight);
    const int64_t w = int64_t{zoom_} * maxWidth_ + BorderWidth;
    const int64_t h = int64_t{zoom_} * maxHeight_ + BorderHeight;
    const QScreen* s = screen();
    const QSize room = s ? s->availableGeometry().size() : QSize(INT_MAX, INT_MAX);
    return QSize(static_cast<int>(std::clamp<int64_t>(w, 1, room.width())),
                 static_cast<int>(std::clamp<int64_t>(h, 1, room.height())));
}

void TPz4AnimWin::setZoom(int factor) {
    factor = zoom::clamp(factor);
    if (factor == zoom_ || images_.empty() || busy_)
        return;
    zoom_ = factor;
    objectManager_->AnZoom = factor;
    zoomControl_->setFactor(factor);
    pixmaps_.assign(images_.size(), QPixmap());
    cachedBytes_ = 0;
    dropOnionPixmaps();
    setOuterSize(outerSizeForZoom());
    if (paused_) {
        // Nothing else would redraw the picture on screen at its new size.
        stepWhilePaused(0);
    }
}

void TPz4AnimWin::nextBackdrop() {
    if (images_.empty() || busy_ || !frames_)
        return;
    objectManager_->AnBack =
        static_cast<int>(NextBackdrop(BackdropFromSetting(objectManager_->AnBack)));
    busy_ = true;
    BuildImages();
    busy_ = false;
    if (paused_)
        stepWhilePaused(0); // nothing else would redraw the frame on screen
}

void TPz4AnimWin::stepWhilePaused(int delta) {
    if (!paused_ || images_.empty() || busy_)
        return;
    const int length = cycleLength();
    const int shown = (position_ + length - 1) % length;
    position_ = ((shown + delta) % length + length) % length;
    nextFrame_ = frameAt(position_);
    drawNow();
    if (QToolTip::isVisible() && underMouse())
        QToolTip::showText(QCursor::pos(), frameInfo(), this);
}

int TPz4AnimWin::cycleLength() const {
    const int n = frameCount();
    return pingPong_ ? std::max(1, 2 * n - 2) : n;
}

int TPz4AnimWin::frameAt(int position) const {
    const int n = frameCount();
    return position < n ? position : 2 * n - 2 - position;
}

void TPz4AnimWin::setFileTiming(bool on) {
    fileTiming_ = on;
    objectManager_->AnTiming = on ? 1 : 0;
}

void TPz4AnimWin::setPingPong(bool on) {
    if (on == pingPong_ || images_.empty())
        return;
    // The frame on screen stays, and the next step goes on forward from it.
    const int shown = frameAt((position_ + cycleLength() - 1) % cycleLength());
    pingPong_ = on;
    objectManager_->AnPingPong = on ? 1 : 0;
    dropOnionPixmaps();
    position_ = (shown + 1) % cycleLength();
    nextFrame_ = frameAt(position_);
}

void TPz4AnimWin::setOnionSkin(int mode) {
    onion_ = std::clamp(mode, 0, 2);
    dropOnionPixmaps();
    objectManager_->AnOnion = onion_;
    if (paused_)
        stepWhilePaused(0);
}

int TPz4AnimWin::stepTicks(int frame) const {
    if (!fileTiming_ || frame < 0 || frame >= frameCount())
        return delay_ + 1;
    // As web browsers do: a delay of 0 or 1 hundredths plays as 10.
    const int tag = infos_[static_cast<size_t>(frame)].tag;
    return tag <= 1 ? 10 : tag;
}

QString TPz4AnimWin::frameInfo() const {
    if (shownFrame_ < 0 || shownFrame_ >= frameCount())
        return {};
    const FrameInfo& f = infos_[static_cast<size_t>(shownFrame_)];
    QString text;
    if (f.frame >= 0)
        text += QStringLiteral("Frame %1\n").arg(f.frame);
    text += QStringLiteral("%1 of %2\n%3 x %4 pixels\nTag %5")
                .arg(shownFrame_ + 1)
                .arg(frameCount())
                .arg(f.width)
                .arg(f.height)
                .arg(f.tag);
    return text;
}

bool TPz4AnimWin::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const QString info = frameInfo();
        if (info.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), info, this);
        return true;
    }
    return ToolDialog::event(e);
}

void TPz4AnimWin::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        ToolDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        emit pauseToggleRequested();
        break;
    case Qt::Key_Right:
        stepWhilePaused(1);
        break;
    case Qt::Key_Left:
        stepWhilePaused(-1);
        break;
    case Qt::Key_B:
        nextBackdrop();
        break;
    case Qt::Key_T:
        setFileTiming(!fileTiming_);
        break;
    case Qt::Key_P:
        setPingPong(!pingPong_);
        break;
    case Qt::Key_O:
        setOnionSkin((onion_ + 1) % 3);
        break;
    default:
        ToolDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

TPz4AnimWin::~TPz4AnimWin() = default;

void TPz4AnimWin::SetFrames(std::unique_ptr<cFrameList> frames) {
    busy_ = true;
    frames_ = std::move(frames);
    MeasureFrames();
    BuildImages();
    busy_ = false;
}

void TPz4AnimWin::MeasureFrames() {
    maxWidth_ = 0;
    maxHeight_ = 0;
    infos_.clear();
    for (const cFrameList* node = frames_.get(); node != nullptr; node = node->next.get()) {
        maxWidth_ = std::max(maxWidth_, node->width);
        maxHeight_ = std::max(maxHeight_, node->height);
        infos_.push_back({node->frame, node->width, node->height, node->tag});
    }
}

void TPz4AnimWin::BuildImages() {
    images_.clear();
    pixmaps_.clear();
    cachedBytes_ = 0;
    dropOnionPixmaps();
    // One builder for the chain: frames with the same palette share a colour table.
    FrameImageBuilder builder(objectManager_->trnManager->table);
    ShowTransparency(
        builder, {BackdropFromSetting(objectManager_->AnBack), palette().color(QPalette::Window)});
    for (const cFrameList* node = frames_.get(); node != nullptr; node = node->next.get())
        images_.push_back(builder.build(*node, node->mirror));
    pixmaps_.resize(images_.size());
}

void TPz4AnimWin::setTimer(int id, int periodMs) {
    timer_->start(id, periodMs);
}

bool TPz4AnimWin::timerActive() const {
    return timer_->active();
}

int TPz4AnimWin::timerPeriod() const {
    return timer_->periodMs();
}

void TPz4AnimWin::Tick(int id) {
    if (id != TimerId)
        return;
    if (tickCount_ < stepTicks(shownFrame_) - 1) {
        ++tickCount_;
        return;
    }
    if (!busy_)
        ShowNextFrame();
    tickCount_ = 0;
}

void TPz4AnimWin::ShowNextFrame() {
    if (paused_ || images_.empty())
        return;
    drawNow();
}

void TPz4AnimWin::drawNow() {
    // Drawing happens in the paint handler; the area of the frame is painted at once.
    const FrameImage& image = images_[static_cast<size_t>(nextFrame_)];
    stepPainted_ = false;
    stepForced_ = true;
    repaint(0, 0, zoom_ * image.width, zoom_ * image.height);
    stepForced_ = false;
    // A window that cannot paint now (hidden, minimised) still takes the step,
    // as drawing into a covered window does.
    if (!stepPainted_)
        advance();
}

void TPz4AnimWin::advance() {
    shownFrame_ = nextFrame_;
    position_ = (position_ + 1) % cycleLength();
    nextFrame_ = frameAt(position_);
}

const QPixmap& TPz4AnimWin::cachedPixmap(size_t i, QPixmap& scratch) {
    QPixmap& cached = pixmaps_[i];
    if (!cached.isNull())
        return cached;
    const FrameImage& image = images_[i];
    const int64_t bytes =
        int64_t{image.width} * image.height * 4 * scale_.block * static_cast<int64_t>(scale_.block);
    if (cachedBytes_ + onionBytes_ + bytes <= pixmapBudget_) {
        cached = makePixmap(image);
        cachedBytes_ += bytes;
        return cached;
    }
    scratch = makePixmap(image);
    return scratch;
}

void TPz4AnimWin::dropOnionPixmaps() {
    onionPixmaps_.clear();
    onionBytes_ = 0;
}

const QPixmap& TPz4AnimWin::onionPixmap(QPixmap& scratch) {
    // One picture per place in the order of play, made once: the neighbours of a
    // frame differ only by the direction it is played in, and a step then stays a
    // plain copy.
    const int length = cycleLength();
    onionPixmaps_.resize(static_cast<size_t>(length));
    QPixmap& kept = onionPixmaps_[static_cast<size_t>(position_)];
    if (!kept.isNull())
        return kept;
    const size_t i = static_cast<size_t>(nextFrame_);
    QPixmap own, other;
    const QPixmap& shown = cachedPixmap(i, own);
    QPixmap made(shown.size());
    made.setDevicePixelRatio(shown.devicePixelRatio());
    {
        QPainter painter(&made);
        painter.drawPixmap(0, 0, shown);
        // Within the frame's own area, the frame before and the one after at a third
        // of what shows each: over the frame alone at 1/3, or at 1/2 and then 1/3.
        const size_t before = static_cast<size_t>(frameAt((position_ + length - 1) % length));
        const size_t after = static_cast<size_t>(frameAt((position_ + 1) % length));
        const std::pair<size_t, qreal> layers[] = {{before, onion_ == 1 ? 1.0 / 3 : 1.0 / 2},
                                                   {after, onion_ == 2 ? 1.0 / 3 : 0.0}};
        for (const auto& [k, opacity] : layers) {
            if (opacity == 0 || k == i || images_[k].empty())
                continue;
            painter.setOpacity(opacity);
            painter.drawPixmap(0, 0, cachedPixmap(k, other));
        }
    }
    const int64_t bytes = int64_t{made.width()} * made.height() * 4;
    if (cachedBytes_ + onionBytes_ + bytes > pixmapBudget_) {
        scratch = made;
        return scratch;
    }
    onionBytes_ += bytes;
    kept = made;
    return kept;
}

QPixmap TPz4AnimWin::makePixmap(const FrameImage& image) const {
    return QPixmap::fromImage(ScreenPicture(image, scale_));
}

QPixmap TPz4AnimWin::screenPixmap(int i) const {
    const QPixmap& cached = pixmaps_[static_cast<size_t>(i)];
    return cached.isNull() ? makePixmap(images_[static_cast<size_t>(i)]) : cached;
}

QRect TPz4AnimWin::drawStep(QPainter& painter) {
    // Made for this screen's density, which changes when the window moves to another.
    const BlockScale scale = BlockScale::of(zoom_, devicePixelRatio());
    if (scale != scale_) {
        scale_ = scale;
        pixmaps_.assign(images_.size(), QPixmap());
        cachedBytes_ = 0;
        dropOnionPixmaps();
    }
    const size_t i = static_cast<size_t>(nextFrame_);
    const FrameImage& image = images_[i];
    if (onion_ > 0 && !image.empty()) {
        QPixmap scratch;
        painter.drawPixmap(0, 0, onionPixmap(scratch));
    } else if (!image.empty()) {
        QPixmap& cached = pixmaps_[i];
        if (cached.isNull()) {
            const int64_t bytes = int64_t{image.width} * image.height * 4 * scale.block *
                                  static_cast<int64_t>(scale.block);
            if (cachedBytes_ + onionBytes_ + bytes <= pixmapBudget_) {
                cached = makePixmap(image);
                cachedBytes_ += bytes;
                painter.drawPixmap(0, 0, cached);
            } else if (image.seeThrough) {
                // The backdrop goes in with the picture: a step paints over the last.
                painter.drawImage(0, 0, ScreenPicture(image, scale));
            } else {
                DrawZoomed(painter, QPoint(0, 0), ToScreenImage(image), zoom_);
            }
        } else {
            painter.drawPixmap(0, 0, cached);
        }
    }
    const int shown = nextFrame_;
    advance();
    emit frameShown(shown);
    return QRect(0, 0, zoom_ * image.width, zoom_ * image.height);
}

void TPz4AnimWin::paintEvent(QPaintEvent* event) {
    // Every paint is a step, whether a tick or the window system asked for it.
    QPainter painter(this);
    QRect drawn;
    if (!busy_ && !images_.empty()) {
        busy_ = true;
        stepPainted_ = true;
        if (!paused_ || stepForced_)
            drawn = drawStep(painter);
        busy_ = false;
    }
    // Whatever else the window system wants painted gets the background, as it
    // would have been erased before the paint.
    const QRegion rest = event->region().subtracted(drawn);
    for (const QRect& r : rest)
        painter.fillRect(r, palette().window());
    // Some window managers report the frame only after the first paints, with
    // no move to tell of it; the outer size is fitted then, as the viewer's is.
    checkFrameAfterPaint();
}

void TPz4AnimWin::closeEvent(QCloseEvent* event) {
    ToolDialog::closeEvent(event);
    timer_->stop();
    // The chain points into the plug-in's buffers, which may go with the file
    // before this window is disposed of; the pictures are all a step needs.
    frames_.reset();
}
