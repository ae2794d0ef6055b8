#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "display/FrameImage.h"
#include "display/ui/FramePixmapCache.h"
#include "display/ui/ViewManager.h"
#include "display/ui/ViewWin.h"
#include "frames/FrameList.h"
#include "frames/ui/ListDlg.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"

#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <deque>

namespace {

// Entry k of the frames' own palettes: every entry distinct.
QRgb ownColour(int k) {
    return qRgb(k, 255 - k, (k * 3) & 0xFF);
}

// Whether any pixel of `image` within `area` is white, as label text is.
bool whiteIn(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) >= 250 && qGreen(p) >= 250 && qBlue(p) >= 250)
                return true;
        }
    return false;
}

class ViewerWindowTest : public pz4test::ToolWindowFixture {
protected:
    void SetUp() override {
        ToolWindowFixture::SetUp();
        om = std::make_unique<cObjectManager>();
        for (int k = 0; k < 256; ++k) {
            ownPalette[size_t(3 * k)] = static_cast<unsigned char>(qRed(ownColour(k)));
            ownPalette[size_t(3 * k + 1)] = static_cast<unsigned char>(qGreen(ownColour(k)));
            ownPalette[size_t(3 * k + 2)] = static_cast<unsigned char>(qBlue(ownColour(k)));
        }
    }
    void TearDown() override {
        delete window.data();
        pz4test::runDeferredDeletes();
        om.reset();
    }

    // Appends a frame to the chain being built. Its pixels are `pixels` (row 0
    // first), or every pixel `fill`; with `own` it brings its own palette,
    // otherwise it shows the program's palette, as the view manager links it.
    void add(int32_t w, int32_t h, int32_t index, bool own = true,
             std::vector<unsigned char> pixels = {}, unsigned char fill = 1) {
        if (pixels.empty())
            pixels.assign(size_t(w) * size_t(h), fill);
        buffers.push_back(std::move(pixels));
        unsigned char* px = buffers.back().data();
        cFrameList* node =
            own ? new cFrameList(last, px, ownPalette.data(), w, h, 0, index, 0)
                : new cFrameList(last, px, om->palManager->colors, w, h, 0, index, 0);
        if (!first)
            first.reset(node);
        last = node;
    }
    void open() {
        window = new TPz4ViewWin(parent.get(), om.get(), std::move(first));
        last = nullptr;
        window->showNormal();
    }
    QScrollBar* scrollBar() const {
        return window->findChild<QScrollBar*>(QString::number(TPz4ViewWin::ScrollBarId));
    }
    QImage shot() const { return window->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRgb back() const { return window->background().rgb(); }

    std::unique_ptr<cObjectManager> om;
    std::array<unsigned char, 768> ownPalette{};
    std::deque<std::vector<unsigned char>> buffers;
    std::unique_ptr<cFrameList> first;
    cFrameList* last = nullptr;
    QPointer<TPz4ViewWin> window;
};

TEST_F(ViewerWindowTest, WindowSizeAndScrollRangeFollowTheStripAndTheWidth) {
    struct {
        const char* label;
        std::vector<int32_t> widths;
        std::vector<int32_t> heights;
        QSize size;
        int maximum;
    } const cases[] = {
        {"365 wide", {100, 200, 50}, {30, 80, 10}, {365, 170}, 0},
        {"1000 wide", std::vector<int32_t>(10, 95), std::vector<int32_t>(10, 40), {600, 130}, 400},
    };
    for (const auto& c : cases) {
        delete window.data();
        for (size_t i = 0; i < c.widths.size(); ++i)
            add(c.widths[i], c.heights[i], int32_t(i));
        open();
        EXPECT_EQ(window->frameGeometry().size(), c.size) << c.label;
        EXPECT_EQ(scrollBar()->singleStep(), c.widths[0]) << c.label;
        EXPECT_EQ(scrollBar()->minimum(), 0) << c.label;
        EXPECT_EQ(scrollBar()->maximum(), c.maximum) << c.label;
    }
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Viewer..."));
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(scrollBar()->orientation(), Qt::Horizontal);
    EXPECT_EQ(scrollBar()->pageStep(), 10);
    // Widening the 1000-wide strip's window shrinks the range.
    struct {
        int width, maximum;
    } const widths[] = {{800, 200}, {1000, 0}, {1200, 0}, {600, 400}};
    const int frameWidth = window->frameGeometry().width() - window->width();
    for (const auto& c : widths) {
        window->resize(c.width - frameWidth, window->height());
        EXPECT_EQ(scrollBar()->maximum(), c.maximum) << c.width;
        EXPECT_EQ(window->outerWidth(), c.width);
        EXPECT_EQ(scrollBar()->geometry(),
                  QRect(0, window->height() - 20, c.width - frameWidth, 20));
    }
    // A size change while minimised leaves the width the range is taken from.
    window->showMinimized();
    window->resize(900, window->height());
    EXPECT_EQ(window->outerWidth(), 600);
    EXPECT_EQ(scrollBar()->maximum(), 400);
}

// The first buffer row at the bottom of the picture, every pixel through the
// translation table, the colours from the frame's own palette.
TEST_F(ViewerWindowTest, PicturePixelsRowsAndTranslation) {
    om->trnManager->SetTranslation(2, 40);
    // 4 x 3: the light lines cover column 0 and row 0 of the picture, so columns
    // 1..3 of the two lower rows are seen.
    add(4, 3, 0, true, {1, 2, 3, 4, /**/ 5, 6, 7, 8, /**/ 9, 10, 11, 12});
    open();
    const QImage image = shot();
    struct {
        int x, y;
        int entry;
    } const cases[] = {
        {1, 12, 40}, // buffer row 0, column 1: pixel 2 translated to 40
        {2, 12, 3},  {3, 12, 4}, {1, 11, 6}, {3, 11, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y), ownColour(c.entry)) << c.x << "," << c.y;
}

TEST_F(ViewerWindowTest, BorderLinesLabelsAndBackground) {
    add(40, 4, 7);   // x 0, picture rows 10..13
    add(5, 8, 1234); // x 45, picture rows 10..17
    open();
    window->resize(200, window->height());
    const QImage image = shot();
    const QRgb light = TPz4ViewWin::LightLine, dark = TPz4ViewWin::DarkLine;
    const QRgb picture = ownColour(1);
    struct {
        const char* what;
        int x, y;
        QRgb colour;
    } const cases[] = {
        {"top row end", 39, 10, light},
        {"below bottom-left corner", 0, 14, light},
        {"right, top", 40, 10, dark},
        {"bottom, second column", 1, 14, dark},
        {"bottom-right corner", 40, 14, dark},
        {"inside", 1, 11, picture},
        {"inside, bottom right", 39, 13, picture},
        {"above", 3, 9, back()},
        {"right of the dark line", 41, 12, back()},
        {"gap", 44, 12, back()},
        {"below the dark line", 20, 15, back()},
        {"second frame top", 45, 10, light},
        {"second frame dark corner", 50, 18, dark},
        {"after the strip", 60, 12, back()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y), c.colour) << c.what;

    // Labels from (x, height + 15): rows 19.. under the first frame, 23.. under
    // the second; all four digits of 1234 run on past where "234" would end.
    const QFontMetrics metrics = window->fontMetrics();
    const int line = metrics.height(), w = image.width();
    EXPECT_FALSE(whiteIn(image, QRect(0, 0, w, 19)));
    EXPECT_TRUE(whiteIn(image, QRect(0, 19, 45, line)));
    EXPECT_FALSE(whiteIn(image, QRect(45, 19, w - 45, 4)));
    EXPECT_TRUE(whiteIn(image, QRect(45, 23, w - 45, line)));
    const int threeDigits = metrics.horizontalAdvance(QStringLiteral("234"));
    const int fourDigits = metrics.horizontalAdvance(QStringLiteral("1234"));
    EXPECT_TRUE(whiteIn(image, QRect(45 + threeDigits, 23, fourDigits - threeDigits, line)));
}

TEST_F(ViewerWindowTest, ScrolledStripStartsWithTheFrameReachingThePosition) {
    for (int i = 0; i < 10; ++i)
        add(100, 20, i, true, {}, static_cast<unsigned char>(10 + i));
    open();
    struct {
        int pos;
        int darkX;  // right dark line of the first frame drawn, when on screen
        int lightX; // left light line of the next one
        int entry;  // what the first visible picture column shows
    } const cases[] = {
        {150, 55, 60, 11}, // frame 1 at x = -45
        {105, -5, 0, 11},  // frame 0 at x = -105, wholly outside; frame 1 at 0
        {106, 99, 104, 11},
    };
    for (const auto& c : cases) {
        scrollBar()->setValue(c.pos);
        EXPECT_EQ(window->scrollPosition(), c.pos);
        const QImage image = shot();
        if (c.darkX >= 0) {
            EXPECT_EQ(image.pixel(c.darkX, 15), TPz4ViewWin::DarkLine) << c.pos;
        }
        EXPECT_EQ(image.pixel(c.lightX, 15), TPz4ViewWin::LightLine) << c.pos;
        EXPECT_EQ(image.pixel(std::max(c.darkX - 1, 1), 15), ownColour(c.entry)) << c.pos;
    }
}

// Scrolling back and forth converts each frame once.
TEST_F(ViewerWindowTest, PaintedFramesAreConvertedOnce) {
    for (int i = 0; i < 30; ++i)
        add(64, 16, i);
    open();
    for (int pos : {0, 700, 0, 1400, 700, 0}) {
        scrollBar()->setValue(pos);
        shot();
    }
    // A frame takes 69 pixels: frames 0..8 at 0, 10..18 at 700, 20..28 at 1400.
    EXPECT_EQ(window->pixmapCache().conversions(), 27u);
    EXPECT_EQ(window->pixmapCache().held(), 27u);
}

TEST_F(ViewerWindowTest, CloseStoresThePositionNotifiesOnceAndDropsTheChain) {
    add(10, 10, 0);
    open();
    window->move(33, 44);
    window->Close();
    window->Close();
    EXPECT_EQ(parent->messages, std::vector<int>{closing::ViewClosed});
    EXPECT_EQ(om->ViWX, 33);
    EXPECT_EQ(om->ViWY, 44);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->frames(), nullptr);
    shot(); // painting a closed viewer draws the background only
    pz4test::runDeferredDeletes();
    EXPECT_FALSE(window);
}

// A 24 x 4 frame whose left 16 columns hold its transparent index 7, at zoom 2: B
// steps from the palette's colour to a checkerboard of 8-pixel squares on screen
// and to the window's colour; the opaque pixels never change.
TEST_F(ViewerWindowTest, TransparentPixelsShowTheBackdropTheBKeyChooses) {
    std::vector<unsigned char> pixels(24 * 4, 5);
    for (int y = 0; y < 4; ++y)
        std::fill_n(pixels.begin() + 24 * y, 16, 7);
    add(24, 4, 0, true, pixels);
    last->transparent = 7;
    om->ViZoom = 2;
    open();
    const struct {
        int back;
        QRgb at1, at9, at17; // screen columns 1, 9 and 17 of screen row 12
    } cases[] = {
        {0, ownColour(7), ownColour(7), ownColour(7)},
        {1, kCheckerLight, kCheckerMid, kCheckerLight},
        {2, back(), back(), back()},
        {0, ownColour(7), ownColour(7), ownColour(7)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(om->ViBack, c.back);
        const QImage image = shot();
        // The light border covers column 0 and row 10; squares start at the corner.
        EXPECT_EQ(image.pixel(1, 12), c.at1) << c.back;
        EXPECT_EQ(image.pixel(9, 12), c.at9) << c.back;
        EXPECT_EQ(image.pixel(17, 12), c.at17) << c.back;
        EXPECT_EQ(image.pixel(40, 12), ownColour(5)) << c.back;
        QTest::keyClick(window, Qt::Key_B);
    }
}

TEST_F(ViewerWindowTest, ZoomThreeShowsBlocksWithBordersAndLabelsAtTheirPlaces) {
    // 4 x 3 pixels, buffer row 0 (1..4) at the bottom of the picture.
    add(4, 3, 7, true, {1, 2, 3, 4, /**/ 5, 6, 7, 8, /**/ 9, 10, 11, 12});
    add(6, 2, 8, true, {}, 20);
    for (int i = 0; i < 40; ++i)
        add(10, 2, 9 + i);
    open();
    const int plainMaximum = scrollBar()->maximum();
    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Equal, Qt::ControlModifier);
    ASSERT_EQ(window->zoom(), 3);
    EXPECT_EQ(om->ViZoom, 3);
    const QImage image = shot();

    // Shown row r of the 4 x 3 picture holds buffer row 2 - r; the light lines
    // cover column 0 and row 10.
    for (int y = 11; y < 19; ++y)
        for (int x = 1; x < 12; ++x)
            ASSERT_EQ(image.pixel(x, y), ownColour(1 + x / 3 + 4 * (2 - (y - 10) / 3)))
                << x << "," << y;
    const QRgb light = TPz4ViewWin::LightLine, dark = TPz4ViewWin::DarkLine;
    struct {
        const char* what;
        int x, y;
        QRgb colour;
    } const cases[] = {
        {"light top row end", 11, 10, light},
        {"light below the picture's corner", 0, 19, light},
        {"dark right edge", 12, 10, dark},
        {"dark right edge bottom", 12, 19, dark},
        {"dark bottom row", 1, 19, dark},
        {"right of the dark line", 13, 12, back()},
        {"gap before the second frame", 16, 12, back()},
        {"second frame at 12 + 5", 17, 10, light},
        {"second frame's last block column", 34, 15, ownColour(20)},
        {"second frame's dark edge", 35, 12, dark},
        {"below the first frame's line", 5, 20, back()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y), c.colour) << c.what;

    // Labels from 10 + 3 x height + 5: row 24 under the first frame, 21 under the second.
    const int line = window->fontMetrics().height();
    EXPECT_FALSE(whiteIn(image, QRect(0, 0, 17, 24)));
    EXPECT_FALSE(whiteIn(image, QRect(17, 0, 18, 21)));
    EXPECT_TRUE(whiteIn(image, QRect(0, 24, 17, line)));
    EXPECT_TRUE(whiteIn(image, QRect(17, 21, 18, line)));

    // Strip: 12 + 5 + 18 + 5 + 40 x (30 + 5) = 1440 against the unchanged width.
    EXPECT_EQ(window->layout().stripWidth(), 1440);
    EXPECT_EQ(scrollBar()->maximum(), 1440 - window->outerWidth());
    EXPECT_GT(scrollBar()->maximum(), plainMaximum);
    EXPECT_EQ(scrollBar()->singleStep(), 12);
    // The first frame search follows: at 17 the first frame is wholly hidden.
    scrollBar()->setValue(17);
    EXPECT_EQ(shot().pixel(0, 10), light);
    EXPECT_EQ(shot().pixel(1, 11), ownColour(20));
}

TEST_F(ViewerWindowTest, BackAtZoomOneTheViewerIsAsNeverZoomed) {
    for (int i = 0; i < 12; ++i)
        add(30 + 7 * i, 20 + 3 * i, i, true, {}, static_cast<unsigned char>(30 + i));
    open();
    scrollBar()->setValue(137);
    const QImage before = shot();
    const QSize size = window->frameGeometry().size();

    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    QWheelEvent turn(QPointF(5, 5), window->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 240),
                     Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window, &turn);
    ASSERT_EQ(window->zoom(), 5);
    EXPECT_NE(shot(), before);
    QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier);
    ASSERT_EQ(window->zoom(), 1);
    EXPECT_EQ(om->ViZoom, 1);

    EXPECT_EQ(window->frameGeometry().size(), size);
    EXPECT_EQ(window->scrollPosition(), 137);
    EXPECT_EQ(scrollBar()->singleStep(), 30);
    EXPECT_EQ(shot(), before);
}

TEST_F(ViewerWindowTest, TheFrameAtTheLeftEdgeStaysThereAcrossZooms) {
    for (int i = 0; i < 20; ++i)
        add(100, 20, i, true, {}, static_cast<unsigned char>(10 + i));
    open();
    struct {
        int zoom;
        int64_t pos; // frame 2 stays first, 40 of its 105 pixels (at zoom 1) in
    } const steps[] = {{1, 250}, {2, 410 + 80}, {4, 810 + 160}, {1, 250}};
    scrollBar()->setValue(250);
    for (const auto& s : steps) {
        window->setZoom(s.zoom);
        EXPECT_EQ(window->scrollPosition(), s.pos) << s.zoom;
        const StripLayout::Span span = window->layout().visible(window->scrollPosition(), 600);
        EXPECT_EQ(span.first, 2u) << s.zoom;
        EXPECT_EQ(shot().pixel(1, 12), ownColour(12)) << s.zoom;
    }
    // A frame that ends exactly at the edge is not the one at the edge: the next is.
    window->setZoom(1);
    scrollBar()->setValue(210);
    window->setZoom(3);
    EXPECT_EQ(window->scrollPosition(), 3 * 200 + 2 * 5);
}

TEST_F(ViewerWindowTest, TheWindowGrowsWithTheZoomWithinTheScreen) {
    add(50, 40, 0);
    add(60, 25, 1);
    open();
    window->resize(333, window->height());
    const int userWidth = window->frameGeometry().width();
    const int room = window->screen()->availableGeometry().height();
    for (int z : {2, 3, 8, 1}) {
        window->setZoom(z);
        const int wanted = z * 40 + 90;
        EXPECT_EQ(window->frameGeometry().height(), z == 1 ? wanted : std::min(wanted, room)) << z;
        EXPECT_EQ(window->frameGeometry().width(), userWidth) << "the width stays the user's";
        EXPECT_EQ(scrollBar()->geometry().bottom(), window->height() - 1) << z;
    }
    // The zoom carries over to the next viewer, which opens at its size.
    window->setZoom(2);
    delete window.data();
    add(50, 40, 0);
    open();
    EXPECT_EQ(window->zoom(), 2);
    EXPECT_EQ(window->frameGeometry().size(), QSize(105, 170));
    EXPECT_EQ(scrollBar()->singleStep(), 100);
}

TEST_F(ViewerWindowTest, KeysScrollTheStrip) {
    for (int i = 0; i < 30; ++i)
        add(40, 20, i);
    open(); // 600 wide over a 1350-pixel strip: range 0 .. 750
    ASSERT_EQ(scrollBar()->maximum(), 750);
    const int page = window->width();
    struct {
        int key;
        int pos;
    } const steps[] = {
        {Qt::Key_Right, 40},
        {Qt::Key_Right, 80},
        {Qt::Key_Left, 40},
        {Qt::Key_PageDown, 40 + page},
        {Qt::Key_PageDown, 750},
        {Qt::Key_Left, 710},
        {Qt::Key_PageUp, 710 - page},
        {Qt::Key_PageUp, 0},
        {Qt::Key_Left, 0},
        {Qt::Key_End, 750},
        {Qt::Key_Right, 750},
        {Qt::Key_Home, 0},
    };
    for (const auto& s : steps) {
        QTest::keyClick(window, static_cast<Qt::Key>(s.key));
        EXPECT_EQ(window->scrollPosition(), s.pos) << s.key;
    }
    // Zoomed, the arrows step by the zoomed width.
    window->setZoom(2);
    QTest::keyClick(window, Qt::Key_Right);
    EXPECT_EQ(window->scrollPosition(), 80);
    // Other keys and Ctrl with an arrow leave the strip alone.
    QTest::keyClick(window, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_A);
    EXPECT_EQ(window->scrollPosition(), 80);
}

TEST(FramePixmapCache, KeepsTheMostRecentlyDrawnWithinTheBound) {
    pz4test::app();
    std::vector<unsigned char> px(16 * 16, 3);
    FrameImageBuilder builder(std::array<unsigned char, 256>{});
    const FrameImage image = builder.build(px.data(), 16, 16, nullptr, 0);
    const qint64 each = 16 * 16 * 4;
    FramePixmapCache cache(3 * each);
    struct {
        size_t key;
        size_t conversions; // after the call
    } const steps[] = {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {3, 4}, {0, 4}, {1, 5}, {2, 6}};
    // After {3}: 1 was the least recently drawn and went; after {1}: 2 went.
    for (const auto& s : steps) {
        const QPixmap& p = cache.pixmap(s.key, image);
        EXPECT_EQ(p.size(), QSize(16, 16));
        EXPECT_EQ(cache.conversions(), s.conversions) << s.key;
        EXPECT_LE(cache.bytes(), 3 * each);
    }
    EXPECT_EQ(cache.held(), 3u);

    // A pixmap larger than the bound is still drawn, and held alone.
    FramePixmapCache small(each - 1);
    EXPECT_EQ(small.pixmap(0, image).size(), QSize(16, 16));
    EXPECT_EQ(small.pixmap(1, image).size(), QSize(16, 16));
    EXPECT_EQ(small.held(), 1u);
}

// The View command through the main window, frames from the ui fixture plug-in:
// frame k is (1 + k % 4) x 2 pixels of value k, odd frames with their own palette.
class ViewCommandTest : public pz4test::MainWindowFixture {
protected:
    void start(const std::string& cfg) {
        plugin(cfg);
        MainWindowFixture::start();
    }
    void select(std::initializer_list<int> rows) {
        auto* list = dlg()->listDlg()->findChild<QListView*>(QString::number(TPz4ListDlg::ListId));
        list->clearSelection();
        for (int r : rows)
            list->selectionModel()->select(list->model()->index(r, 0), QItemSelectionModel::Select);
    }
    void view() {
        QTest::mouseClick(frame->findChild<QPushButton*>(QString::number(TPz4MainDlg::ViewId)),
                          Qt::LeftButton);
    }
    TPz4ViewWin* viewer() const {
        return dlg()->viewManager() ? dlg()->viewManager()->window() : nullptr;
    }
    std::vector<int32_t> shownFrames() const {
        std::vector<int32_t> indices;
        for (const cFrameList* n = viewer() ? viewer()->frames() : nullptr; n; n = n->next.get())
            indices.push_back(n->index);
        return indices;
    }
};

TEST_F(ViewCommandTest, RefusedFramesAreLeftOut) {
    struct {
        const char* label;
        int lockfail;
        std::vector<int32_t> shown;
    } const cases[] = {
        {"a middle frame refused", 6, {4, 9}},
        {"the first frame refused", 4, {6, 9}},
        {"none refused", -1, {4, 6, 9}},
    };
    for (const auto& c : cases) {
        start("frames=10\nlockfail=" + std::to_string(c.lockfail) + "\n");
        load("walk.uif");
        select({4, 6, 9});
        view();
        EXPECT_TRUE(messages().empty()) << c.label;
        EXPECT_EQ(shownFrames(), c.shown) << c.label;
        frame.reset();
        pz4test::runDeferredDeletes();
    }
}

TEST_F(ViewCommandTest, RefusalsOpenNoViewerAndTheNextViewReplacesTheManager) {
    start("frames=10\nlockfail=6\n");
    view();
    load("walk.uif");
    select({});
    view();
    select({6});
    view();
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"Error: No Frames loaded !", "Error: No Frames selected !",
                                        "Error: Can't create FrameList !"}));
    EXPECT_EQ(prompts->messages[2].owner, dlg());
    ASSERT_NE(dlg()->viewManager(), nullptr);
    EXPECT_EQ(viewer(), nullptr);

    select({5});
    view();
    EXPECT_EQ(shownFrames(), std::vector<int32_t>{5});
    EXPECT_EQ(messages().size(), 3u);

    // Load deletes a view manager without a viewer as well.
    select({6});
    view();
    ASSERT_NE(dlg()->viewManager(), nullptr);
    load("run.uif");
    EXPECT_EQ(dlg()->viewManager(), nullptr);
}

// Only Close stores the viewer's place: one still open at the end goes with the
// main window, and the place saved before is the one written.
TEST_F(ViewCommandTest, AViewerOpenAtTheEndKeepsTheSavedPlace) {
    dir.write("pz.ini", "ViWX=00012\nViWY=00034\n");
    start("frames=10\n");
    load("walk.uif");
    select({1});
    view();
    ASSERT_TRUE(viewer());
    EXPECT_EQ(viewer()->pos(), QPoint(12, 34));
    viewer()->move(300, 200);
    frame.reset();
    pz4test::runDeferredDeletes();
    EXPECT_TRUE(pz4test::hasLine(path("pz.ini"), "ViWX=00012"));
    EXPECT_TRUE(pz4test::hasLine(path("pz.ini"), "ViWY=00034"));
}

// View replaces an open viewer; Load and the close box close it.
TEST_F(ViewCommandTest, ViewLoadAndTheCloseBoxCloseTheOpenViewer) {
    start("frames=10\n");
    load("walk.uif");
    select({1, 2});
    view();
    QPointer<TPz4ViewWin> first = viewer();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    select({3});
    view();
    ASSERT_TRUE(viewer());
    EXPECT_NE(viewer(), first.data());
    EXPECT_EQ(shownFrames(), std::vector<int32_t>{3});
    ASSERT_TRUE(first); // closed, disposed of at the next event loop pass
    EXPECT_TRUE(first->closed());
    EXPECT_FALSE(first->isVisible());
    pz4test::runDeferredDeletes();
    EXPECT_FALSE(first);

    QPointer<TPz4ViewWin> old = viewer();
    load("run.uif");
    EXPECT_EQ(dlg()->viewManager(), nullptr);
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->closed());
    EXPECT_EQ(old->frames(), nullptr); // nothing left pointing into the unloaded file

    select({0});
    view();
    ASSERT_TRUE(viewer());
    viewer()->close();
    EXPECT_EQ(dlg()->viewManager(), nullptr);

    // With nothing selected the old viewer still closes first.
    view();
    ASSERT_TRUE(viewer());
    select({});
    view();
    EXPECT_EQ(dlg()->viewManager(), nullptr);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: No Frames selected !"});
}

// An even frame brings no palette: it is shown, and keeps being shown, in the
// palette current when View was pressed.
TEST_F(ViewCommandTest, TheCurrentPaletteStandsInForAMissingOne) {
    start("frames=10\n");
    load("walk.uif");
    cObjectManager& om = *dlg()->objectManager();
    om.palManager->SetEntry(2, 1, 2, 3);
    select({2, 3});
    view();
    ASSERT_TRUE(viewer());
    om.palManager = std::make_unique<cPalManager>();
    const QImage image = viewer()->grab().toImage();
    EXPECT_EQ(image.pixel(1, 11), qRgb(1, 2, 3));           // frame 2: 3 x 2, value 2
    EXPECT_EQ(image.pixel(8 + 1, 11), qRgb(200, 200, 200)); // frame 3: its own palette
}

} // namespace
