#include "display/ui/ViewWin.h"

#include "context/ObjectManager.h"
#include "frames/FrameList.h"
#include "palette/TRNManager.h"
#include "platform/ZoomControl.h"
#include "plugins/SaveNames.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <climits>

TPz4ViewWin::TPz4ViewWin(QWidget* parent, cObjectManager* objectManager,
                         std::unique_ptr<cFrameList> frames)
    // A sizing border and a minimise box, but no maximise box.
    : ToolDialog(parent, closing::ViewClosed, QStringLiteral("Viewer...")),
      objectManager_(objectManager), frames_(std::move(frames)) {
    zoom_ = zoom::clamp(objectManager_->ViZoom);
    MeasureStrip();

    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setObjectName(QString::number(ScrollBarId));
    scrollBar_->setSingleStep(lineStep());
    scrollBar_->setPageStep(PageStep);
    // The window takes the keys: a focused scroll bar would page by its own step.
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this] { update(); });

    outerWidth_ = static_cast<int>(std::min<int64_t>(layout_.stripWidth(), WidestWindow));
    setOuterSize(QSize(outerWidth_, outerHeight()));
    placeScrollBar();
    // Only Close stores the place: one still open at the end keeps the saved one.
    keepPositionIn(objectManager_->ViWX, objectManager_->ViWY, true, OpenAtEnd::KeepsSavedPosition);

    zoomControl_ = new ZoomControl(this, zoom_, [this](int factor) { setZoom(factor); });
    zoomControl_->watchWheel(scrollBar_);
    BuildImages();
}

TPz4ViewWin::~TPz4ViewWin() {
    busy_ = true;
    releaseFrames();
}

QColor TPz4ViewWin::background() const {
    // The shade Qt draws frame borders with, the nearest thing to the window
    // system's active-border colour; white labels stay readable on it.
    return palette().color(QPalette::Active, QPalette::Mid);
}

int64_t TPz4ViewWin::scrollPosition() const {
    return scale_.position(scrollBar_->value());
}

void TPz4ViewWin::MeasureStrip() {
    layout_ = StripLayout(frames_.get(), zoom_);
    nodes_.clear();
    nodes_.reserve(layout_.count());
    for (const cFrameList* node = frames_.get(); node; node = node->next.get())
        nodes_.push_back(node);
}

void TPz4ViewWin::BuildImages() {
    if (busy_)
        return;
    busy_ = true;
    pixmaps_.clear();
    images_.clear();
    images_.reserve(nodes_.size());
    // The object manager holds a table from its start to its end.
    FrameImageBuilder builder(objectManager_->trnManager->table);
    ShowTransparency(builder, {BackdropFromSetting(objectManager_->ViBack), background()});
    // The viewer shows every frame unmirrored.
    for (const cFrameList* node : nodes_)
        images_.push_back(builder.build(*node, 0));
    busy_ = false;
}

int TPz4ViewWin::outerHeight() const {
    const int64_t wanted = int64_t{zoom_} * layout_.maxHeight() + ExtraHeight;
    if (zoom_ == 1)
        return static_cast<int>(std::min<int64_t>(wanted, INT_MAX));
    const QScreen* s = screen();
    const int64_t room = s ? s->availableGeometry().height() : INT_MAX;
    return static_cast<int>(std::max<int64_t>(1, std::min(wanted, room)));
}

int TPz4ViewWin::lineStep() const {
    const int64_t step = frames_ ? int64_t{zoom_} * frames_->width : 1;
    return static_cast<int>(std::clamp<int64_t>(step, 1, INT_MAX));
}

void TPz4ViewWin::setZoom(int factor) {
    factor = zoom::clamp(factor);
    if (factor == zoom_ || !frames_ || busy_)
        return;
    // The frame at the left edge (the one the edge falls inside, not one that
    // merely ends there) and how far into it the edge is, in that frame's scale.
    const int64_t pos = scrollPosition();
    const size_t k = layout_.visible(pos + 1, 1).first;
    const int64_t into = pos - layout_.left(k);
    const int before = zoom_;

    zoom_ = factor;
    objectManager_->ViZoom = factor;
    zoomControl_->setFactor(factor);
    layout_ = StripLayout(frames_.get(), zoom_);
    scrollBar_->setSingleStep(lineStep());
    setOuterHeight(outerHeight());
    placeScrollBar();
    const int64_t target =
        std::clamp<int64_t>(layout_.left(k) + into * zoom_ / before, 0, scale_.excess);
    scrollBar_->setValue(static_cast<int>(target / scale_.unit));
    update();
}

void TPz4ViewWin::nextBackdrop() {
    if (!frames_ || busy_)
        return;
    objectManager_->ViBack =
        static_cast<int>(NextBackdrop(BackdropFromSetting(objectManager_->ViBack)));
    BuildImages();
    update();
}

void TPz4ViewWin::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        ToolDialog::keyPressEvent(event);
        return;
    }
    const int page = static_cast<int>(std::max<int64_t>(1, width() / scale_.unit));
    switch (event->key()) {
    case Qt::Key_Left:
        scrollBar_->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        scrollBar_->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        scrollBar_->setValue(scrollBar_->value() - std::min(page, scrollBar_->value()));
        break;
    case Qt::Key_PageDown:
        scrollBar_->setValue(scrollBar_->value() +
                             std::min(page, scrollBar_->maximum() - scrollBar_->value()));
        break;
    case Qt::Key_Home:
        scrollBar_->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        scrollBar_->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    case Qt::Key_B:
        nextBackdrop();
        break;
    default:
        ToolDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TPz4ViewWin::placeScrollBar() {
    scale_ = ScrollScale(layout_.stripWidth(), outerWidth_);
    scrollBar_->setRange(0, scale_.maximum);
    scrollBar_->setGeometry(0, height() - ScrollBarHeight, width(), ScrollBarHeight);
}

void TPz4ViewWin::resizeEvent(QResizeEvent* event) {
    ToolDialog::resizeEvent(event);
    if (!isMinimized())
        outerWidth_ = frameGeometry().width();
    placeScrollBar();
}

void TPz4ViewWin::paintEvent(QPaintEvent*) {
    if (busy_)
        return;
    busy_ = true;
    PaintStrip();
    busy_ = false;
    checkFrameAfterPaint();
}

void TPz4ViewWin::PaintStrip() {
    QPainter painter(this);
    const QColor back = background();
    painter.fillRect(rect(), back);
    if (images_.empty())
        return;
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(back);
    painter.setPen(Qt::white);
    const QColor light(LightLine), dark(DarkLine);
    const int lineHeight = painter.fontMetrics().height();

    // Made for this screen's density, which changes when the window moves to another.
    pixmaps_.setScale(BlockScale::of(zoom_, devicePixelRatio()));
    const StripLayout::Span span = layout_.visible(scrollPosition(), outerWidth_);
    int64_t x = span.x;
    for (size_t k = span.first; k < span.end; ++k) {
        const cFrameList& node = *nodes_[k];
        const int left = static_cast<int>(x);
        const int w = zoom_ * std::max(0, node.width);
        const int h = zoom_ * std::max(0, node.height);
        if (!images_[k].empty())
            painter.drawPixmap(left, PictureTop, pixmaps_.pixmap(k, images_[k]));
        // The lines leave out their end points: light over the picture's left
        // column and top row, dark one pixel outside its right and bottom edges.
        painter.fillRect(left, PictureTop + 1, 1, h, light);
        painter.fillRect(left, PictureTop, w, 1, light);
        painter.fillRect(left + w, PictureTop, 1, h, dark);
        painter.fillRect(left + 1, PictureTop + h, w, 1, dark);
        painter.drawText(QRect(left, h + LabelBelow, std::max(w, 1) + 64, lineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         QString::fromStdString(frameNumberText(node.index)));
        x += w + StripLayout::kGap;
    }
}

void TPz4ViewWin::closeEvent(QCloseEvent* event) {
    ToolDialog::closeEvent(event);
    // The chain points into the plug-in's buffers, and the file may be unloaded
    // before this window is disposed of.
    if (event->isAccepted())
        releaseFrames();
}

void TPz4ViewWin::releaseFrames() {
    pixmaps_.clear();
    images_.clear();
    nodes_.clear();
    layout_ = StripLayout();
    frames_.reset();
}
