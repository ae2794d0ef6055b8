#include "platform/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>

namespace {

// a * b / c rounded half away from zero, as the dialog-unit mapping rounds.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long q = p >= 0 ? (p + c / 2) / c : -((-p + c / 2) / c);
    return static_cast<int>(q);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (letters + 26) / 52;
    baseY_ = metrics.height();
}

int DialogUnits::x(int units) const {
    return mulDiv(units, baseX_, 4);
}

int DialogUnits::y(int units) const {
    return mulDiv(units, baseY_, 8);
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    return QRect(this->x(x), this->y(y), this->x(width), this->y(height));
}

QSize DialogUnits::size(int width, int height) const {
    return QSize(x(width), y(height));
}

void PlaceTexts(QWidget* dialog, const DialogUnits& units, std::span<const TextPlace> texts) {
    for (const TextPlace& t : texts) {
        auto* label = new QLabel(QString::fromLatin1(t.text), dialog);
        label->setObjectName(QString::number(t.id));
        label->setGeometry(units.rect(t.x, t.y, t.width, t.height));
    }
}
