#include "platform/ZoomControl.h"

#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

std::optional<int> zoom::forKey(const QKeyEvent& event, int current) {
    const Qt::KeyboardModifiers mods = event.modifiers();
    // Shift is part of typing "+" on many layouts; Alt and Meta make other commands.
    if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::MetaModifier)))
        return std::nullopt;
    switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return clamp(current + 1);
    case Qt::Key_Minus:
        return clamp(current - 1);
    case Qt::Key_0:
        return kMin;
    default:
        return std::nullopt;
    }
}

ZoomControl::ZoomControl(QWidget* window, int factor, Changed changed)
    : QObject(window), window_(window), factor_(zoom::clamp(factor)), changed_(std::move(changed)) {
    window->installEventFilter(this);
}

void ZoomControl::setFactor(int factor) {
    factor = zoom::clamp(factor);
    if (factor == factor_)
        return;
    factor_ = factor;
    if (changed_)
        changed_(factor_);
}

void ZoomControl::watchWheel(QWidget* child) {
    wheelOnly_.push_back(child);
    child->installEventFilter(this);
}

bool ZoomControl::eventFilter(QObject* watched, QEvent* event) {
    const bool wheelOnly =
        std::find(wheelOnly_.begin(), wheelOnly_.end(), watched) != wheelOnly_.end();
    if (watched != window_ && !wheelOnly)
        return false;
    if (event->type() == QEvent::KeyPress && !wheelOnly) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const std::optional<int> next = zoom::forKey(*key, factor_);
        if (!next)
            return false;
        setFactor(*next);
        return true;
    }
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier))
            return false;
        wheelRest_ += wheel->angleDelta().y();
        const int steps = wheelRest_ / zoom::kWheelNotch;
        wheelRest_ -= steps * zoom::kWheelNotch;
        if (steps != 0)
            setFactor(factor_ + steps);
        return true;
    }
    return false;
}
