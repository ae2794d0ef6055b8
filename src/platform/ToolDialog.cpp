#include "platform/ToolDialog.h"

#include "platform/WindowPlacement.h"

#include <QCloseEvent>
#include <QIcon>
#include <QTimer>
#include <algorithm>

ToolDialog::ToolDialog(QWidget* parent, int closingMessage, Qt::WindowFlags flags)
    : QDialog(parent, flags), closingMessage_(closingMessage) {
    setAttribute(Qt::WA_DeleteOnClose);
}

ToolDialog::ToolDialog(QWidget* parent, int closingMessage, const QString& title)
    : ToolDialog(parent, closingMessage,
                 Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                     Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    setWindowIcon(QIcon(QStringLiteral(":/icons/800.png")));
}

ToolDialog::~ToolDialog() {
    // A window closed earlier stored its position then; a later one may have
    // stored since. This class's own storing, as a subclass's is gone by now.
    if (!closeNotified_ && atEnd_ == OpenAtEnd::StoresPosition)
        ToolDialog::storePosition();
}

void ToolDialog::keepPositionIn(int& x, int& y, bool placeThere, OpenAtEnd atEnd) {
    if (placeThere)
        PlaceWindow(this, QPoint(x, y));
    keptX_ = &x;
    keptY_ = &y;
    atEnd_ = atEnd;
    if (!tracker_)
        tracker_ = new PositionTracker(this);
}

void ToolDialog::storePosition() {
    if (!tracker_)
        return;
    const QPoint p = tracker_->position();
    *keptX_ = p.x();
    *keptY_ = p.y();
}

void ToolDialog::Close() {
    close();
}

void ToolDialog::setOuterSize(QSize outer) {
    outerSize_ = outer;
    resize((outer - knownFrame()).expandedTo(QSize(1, 1)));
}

void ToolDialog::setOuterHeight(int height) {
    outerSize_.setHeight(height);
    resize(width(), std::max(1, height - knownFrame().height()));
}

QSize ToolDialog::knownFrame() const {
    return fitted_ ? frameGeometry().size() - size() : QSize(0, 0);
}

void ToolDialog::fitToFrame() {
    const QSize frame = frameGeometry().size() - size();
    if (fitted_ || !outerSize_.isValid() || frame.isEmpty())
        return;
    fitted_ = true;
    resize((outerSize_ - frame).expandedTo(QSize(1, 1)));
}

void ToolDialog::checkFrameAfterPaint() {
    if (!fitted_ && fitChecks_ < kFitChecks) {
        ++fitChecks_;
        QTimer::singleShot(0, this, &ToolDialog::fitToFrame);
    }
}

void ToolDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitToFrame();
}

void ToolDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    fitToFrame();
}

void ToolDialog::closeEvent(QCloseEvent* event) {
    storePosition();
    if (!closeNotified_) {
        closeNotified_ = true;
        if (auto* receiver = dynamic_cast<ClosingReceiver*>(parentWidget()))
            receiver->closingNotification(closingMessage_);
    }
    event->accept();
}
