#include "UiTestSupport.h"

#include "platform/CrispImage.h"
#include "platform/ZoomControl.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <set>

namespace {

class ZoomTest : public ::testing::Test {
protected:
    void SetUp() override { pz4test::app(); }
};

struct Sent {
    bool taken; // kept from the window
    int factor;
};

// Counts the key presses and wheel turns that reach it.
class RecordingWidget : public QWidget {
public:
    int received = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++received; }
    void wheelEvent(QWheelEvent*) override { ++received; }
};

class ZoomControlTest : public ZoomTest {
protected:
    void SetUp() override {
        ZoomTest::SetUp();
        window = std::make_unique<RecordingWidget>();
        control = new ZoomControl(window.get(), 3, [this](int f) { told.push_back(f); });
    }
    Sent deliver(QEvent& e) {
        const int before = window->received;
        QCoreApplication::sendEvent(window.get(), &e);
        return {window->received == before, control->factor()};
    }
    Sent press(int k, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QKeyEvent e(QEvent::KeyPress, k, mods);
        return deliver(e);
    }
    Sent wheel(int dy, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QWheelEvent turn(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, dy), Qt::NoButton, mods,
                         Qt::NoScrollPhase, false);
        return deliver(turn);
    }

    std::unique_ptr<RecordingWidget> window;
    ZoomControl* control = nullptr;
    std::vector<int> told;
};

// Zoom keys at either end of the range are still zoom keys, taken from the window.
TEST_F(ZoomControlTest, KeysStepTheFactorWithinOneToEightAndAreTakenFromTheWindow) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, none = Qt::NoModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        bool taken;
        int factor;
    } steps[] = {
        {Qt::Key_Plus, ctrl, true, 4},
        {Qt::Key_Plus, ctrl | Qt::ShiftModifier, true, 5},
        {Qt::Key_Plus, ctrl | Qt::KeypadModifier, true, 6},
        {Qt::Key_Equal, ctrl, true, 7},
        {Qt::Key_Equal, ctrl, true, 8},
        {Qt::Key_Plus, ctrl, true, 8},
        {Qt::Key_Minus, ctrl, true, 7},
        {Qt::Key_Minus, ctrl | Qt::KeypadModifier, true, 6},
        {Qt::Key_0, ctrl, true, 1},
        {Qt::Key_Minus, ctrl, true, 1},
        {Qt::Key_0, ctrl, true, 1},
        {Qt::Key_Plus, ctrl, true, 2},
        // Not zoom keys.
        {Qt::Key_Plus, none, false, 2},
        {Qt::Key_Minus, Qt::ShiftModifier, false, 2},
        {Qt::Key_0, none, false, 2},
        {Qt::Key_Plus, ctrl | Qt::AltModifier, false, 2},
        {Qt::Key_1, ctrl, false, 2},
        {Qt::Key_Space, ctrl, false, 2},
        {Qt::Key_Right, none, false, 2},
    };
    for (const auto& s : steps) {
        const Sent r = press(s.key, s.mods);
        EXPECT_EQ(r.taken, s.taken) << s.key << " mods " << s.mods.toInt();
        EXPECT_EQ(r.factor, s.factor) << s.key << " mods " << s.mods.toInt();
    }
    EXPECT_EQ(told, (std::vector<int>{4, 5, 6, 7, 8, 7, 6, 1, 2}))
        << "no news when nothing changed";
}

TEST_F(ZoomControlTest, CtrlWheelStepsByNotchAndAddsUpFractions) {
    struct Step {
        int dy;
        Qt::KeyboardModifiers mods;
        bool taken;
        int factor;
    } steps[] = {
        {120, Qt::ControlModifier, true, 4},
        {240, Qt::ControlModifier, true, 6},
        {-120, Qt::ControlModifier, true, 5},
        {120, Qt::NoModifier, false, 5}, // plain wheel is the window's own
        {60, Qt::ControlModifier, true, 5},
        {30, Qt::ControlModifier, true, 5},
        {30, Qt::ControlModifier, true, 6}, // four quarter turns make one notch
        {-40, Qt::ControlModifier, true, 6},
        {40, Qt::ControlModifier, true, 6}, // back and forth cancels out
        {720, Qt::ControlModifier, true, 8},
        {-120, Qt::ControlModifier, true, 7}, // turns past 8 are not owed back
        {-1200, Qt::ControlModifier, true, 1},
        {120, Qt::ControlModifier, true, 2},
    };
    for (const Step& s : steps) {
        const Sent r = wheel(s.dy, s.mods);
        EXPECT_EQ(r.taken, s.taken) << s.dy;
        EXPECT_EQ(r.factor, s.factor) << s.dy;
    }
}

// A part of the window that takes wheel turns itself gives up Ctrl + wheel only.
TEST_F(ZoomControlTest, AWatchedChildGivesUpCtrlWheelButNotItsKeys) {
    auto* child = new RecordingWidget;
    child->setParent(window.get());
    control->watchWheel(child);
    QWheelEvent ctrlTurn(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton,
                         Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(child, &ctrlTurn);
    QWheelEvent plainTurn(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(child, &plainTurn);
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::ControlModifier);
    QCoreApplication::sendEvent(child, &plus);
    EXPECT_EQ(control->factor(), 4);
    EXPECT_EQ(child->received, 2) << "the plain turn and the key reach it";
}

TEST_F(ZoomControlTest, SetFactorClampsAndTellsOnlyChanges) {
    control->setFactor(12);
    control->setFactor(8);
    control->setFactor(0);
    control->setFactor(-5);
    EXPECT_EQ(told, (std::vector<int>{8, 1}));
    const ZoomControl fromBadStart(window.get(), 40, nullptr);
    EXPECT_EQ(fromBadStart.factor(), 8);
}

TEST_F(ZoomTest, BlocksAreDevicePixelsWhereTheyFitWholeAndLogicalPixelsElsewhere) {
    struct Case {
        int zoom;
        qreal ratio;
        BlockScale scale;
    } cases[] = {
        {1, 1.0, {1, 1.0}}, {4, 1.0, {4, 1.0}}, {1, 2.0, {2, 2.0}},  {3, 2.0, {6, 2.0}},
        {2, 1.5, {3, 1.5}}, {1, 1.5, {1, 1.0}}, {3, 1.25, {3, 1.0}}, {4, 1.25, {5, 1.25}},
        {0, 1.0, {1, 1.0}}, {2, 0.0, {2, 1.0}},
    };
    for (const Case& c : cases) {
        const BlockScale s = BlockScale::of(c.zoom, c.ratio);
        EXPECT_EQ(s.block, c.scale.block) << c.zoom << " at " << c.ratio;
        EXPECT_EQ(s.pixelRatio, c.scale.pixelRatio) << c.zoom << " at " << c.ratio;
    }
    // The plain case hands back the picture itself, not a copy.
    const QImage picture(4, 4, QImage::Format_RGB32);
    EXPECT_EQ(ScaledForScreen(picture, {1, 1.0}).constBits(), picture.constBits());
    const QImage dense = ScaledForScreen(picture, {6, 2.0});
    EXPECT_EQ(dense.size(), QSize(24, 24));
    EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(12, 12));
}

// A 3 x 2 picture of six distinct colours.
QImage sixColours() {
    QImage image(3, 2, QImage::Format_Indexed8);
    image.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        image.setColor(i, qRgb(i, 255 - i, (i * 7) & 255));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, 10 + 40 * (y * 3 + x));
    return image;
}

// Every device pixel of `canvas` inside the picture's place is the colour of the
// picture pixel it belongs to; the two rows and columns around it are background.
void expectBlocks(const QImage& canvas, const QImage& picture, QPoint devOrigin, int block,
                  QRgb background) {
    const int w = picture.width() * block, h = picture.height() * block;
    for (int y = devOrigin.y() - 2; y < devOrigin.y() + h + 2; ++y) {
        for (int x = devOrigin.x() - 2; x < devOrigin.x() + w + 2; ++x) {
            const int px = x - devOrigin.x(), py = y - devOrigin.y();
            const bool inside = px >= 0 && py >= 0 && px < w && py < h;
            const QRgb want = inside ? picture.pixel(px / block, py / block) : background;
            ASSERT_EQ(canvas.pixel(x, y), want) << "device pixel " << x << "," << y;
        }
    }
}

QImage canvas(QSize logical, qreal ratio, QRgb background) {
    QImage c((QSizeF(logical) * ratio).toSize(), QImage::Format_RGB32);
    c.setDevicePixelRatio(ratio);
    c.fill(background);
    return c;
}

TEST_F(ZoomTest, ReplicationMakesExactBlocks) {
    const QImage picture = sixColours();
    for (int factor : {1, 2, 3, 4, 5, 6, 7, 8}) {
        const QImage big = ReplicatePixels(picture, factor);
        ASSERT_EQ(big.size(), picture.size() * factor) << factor;
        QImage padded(big.width() + 4, big.height() + 4, QImage::Format_RGB32);
        padded.fill(Qt::black);
        QPainter(&padded).drawImage(2, 2, big);
        expectBlocks(padded, picture, QPoint(2, 2), factor, qRgb(0, 0, 0));
    }
    EXPECT_TRUE(ReplicatePixels(QImage(), 4).isNull());
}

// The reused picture must never be one somebody else still holds.
TEST_F(ZoomTest, ReplicationIntoAHeldPictureLeavesTheHolderItsCopy) {
    const QImage picture = sixColours();
    QImage out;
    ReplicatePixelsInto(picture, 2, out);
    const QImage held = out;
    QImage other(3, 2, QImage::Format_RGB32);
    other.fill(qRgb(9, 9, 9));
    ReplicatePixelsInto(other, 2, out);
    EXPECT_EQ(out.pixel(5, 3), qRgb(9, 9, 9));
    EXPECT_EQ(held.pixel(5, 3), picture.pixel(2, 1));
}

TEST_F(ZoomTest, DrawingIsBlocksOfDevicePixelsAtEveryZoomAndRatio) {
    const QImage picture = sixColours();
    const QRgb bg = qRgb(1, 2, 3);
    struct Case {
        qreal ratio;
        int zoom;
        int block; // device pixels per picture pixel
    } cases[] = {{1, 1, 1}, {1, 3, 3}, {2, 1, 2}, {2, 3, 6}, {1.5, 2, 3}, {3, 8, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ratio " << c.ratio << " zoom " << c.zoom);
        QImage target = canvas(QSize(40, 30), c.ratio, bg);
        {
            QPainter p(&target);
            DrawZoomed(p, QPoint(4, 2), picture, c.zoom);
        }
        expectBlocks(target, picture, QPoint(qRound(4 * c.ratio), qRound(2 * c.ratio)), c.block,
                     bg);
    }
}

// Where no whole number of device pixels fits a picture pixel, blocks differ in
// size by one, but every pixel shown is one of the picture's own colours.
TEST_F(ZoomTest, UnevenRatiosNeverMixColours) {
    const QImage picture = sixColours();
    const QRgb bg = qRgb(1, 2, 3);
    QImage target = canvas(QSize(20, 10), 1.25, bg);
    {
        QPainter p(&target);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true); // the drawing turns it off
        DrawZoomed(p, QPoint(0, 0), picture, 1);
    }
    std::set<QRgb> allowed{bg};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            allowed.insert(picture.pixel(x, y));
    std::set<QRgb> seen;
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            seen.insert(target.pixel(x, y));
    for (QRgb c : seen)
        EXPECT_TRUE(allowed.count(c)) << std::hex << c;
    EXPECT_EQ(seen.size(), 7u);
    // 3 x 2 logical pixels at 1.25 cover about 4 x 2.5 device pixels.
    EXPECT_EQ(target.pixel(3, 0), picture.pixel(2, 0));
    EXPECT_EQ(target.pixel(4, 0), bg);
}

} // namespace
