#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "display/ui/FramePixmapCache.h"
#include "frames/FrameList.h"
#include "palette/TRNManager.h"
#include "platform/WindowTimer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <sstream>

namespace {

// Pixel value v is shown as (v, 100, 200), so a grabbed colour names its value.
std::vector<unsigned char> valuePalette() {
    std::vector<unsigned char> p(768);
    for (int k = 0; k < 256; ++k) {
        p[3 * k] = static_cast<unsigned char>(k);
        p[3 * k + 1] = 100;
        p[3 * k + 2] = 200;
    }
    return p;
}

struct Frame {
    std::vector<unsigned char> pixels; // row 0 first
    int width;
    int height;
    int mirror = 0;
    int transparent = -1;
    int tag = 0;
};

// A frame of one value.
Frame plain(int width, int height, unsigned char value, int mirror = 0) {
    return {std::vector<unsigned char>(static_cast<size_t>(width * height), value), width, height,
            mirror};
}

std::string joined(const std::vector<int>& v) {
    std::ostringstream out;
    for (size_t i = 0; i < v.size(); ++i)
        out << (i ? " " : "") << (v[i] < 0 ? std::string("-") : std::to_string(v[i]));
    return out.str();
}

using Rows = std::vector<std::vector<int>>;

class PlayerTest : public pz4test::ToolWindowFixture {
protected:
    void SetUp() override {
        ToolWindowFixture::SetUp();
        objects = std::make_unique<cObjectManager>();
    }
    void TearDown() override {
        delete player;
        pz4test::runDeferredDeletes();
    }

    // A player over `frames` (kept alive by the fixture), not yet shown.
    TPz4AnimWin* make(std::vector<Frame> list) {
        frames = std::move(list);
        cFrameList* first = nullptr;
        cFrameList* last = nullptr;
        for (size_t i = 0; i < frames.size(); ++i) {
            Frame& f = frames[i];
            last = new cFrameList(last, f.pixels.data(), palette.data(), f.width, f.height, f.tag,
                                  static_cast<int>(i), f.mirror);
            last->frame = 20 + static_cast<int>(i);
            last->transparent = f.transparent;
            if (first == nullptr)
                first = last;
        }
        player = new TPz4AnimWin(parent.get(), objects.get(), std::unique_ptr<cFrameList>(first));
        QObject::connect(player.data(), &TPz4AnimWin::frameShown,
                         [this](int i) { drawn.push_back(i); });
        return player;
    }
    // Shown and painted once, as the animator shows it.
    TPz4AnimWin* show(std::vector<Frame> list) {
        make(std::move(list));
        player->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(player));
        return player;
    }
    // The colours on screen, row by row from the top, as pixel values (the red
    // component), or -1 where the colour is not one of the palette's.
    Rows screen(int width, int height) const {
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(player->winId()).toImage();
        Rows rows;
        for (int y = 0; y < height; ++y) {
            std::vector<int> row;
            for (int x = 0; x < width; ++x) {
                const QRgb c = shot.pixel(x, y);
                row.push_back(qGreen(c) == 100 && qBlue(c) == 200 ? qRed(c) : -1);
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::unique_ptr<cObjectManager> objects;
    std::vector<unsigned char> palette = valuePalette();
    std::vector<Frame> frames;
    QPointer<TPz4AnimWin> player;
    std::vector<int> drawn;
};

// The player shows a frame's transparent pixels over the backdrop B chooses, and
// a step over a frame that had none leaves nothing of it behind.
TEST_F(PlayerTest, TransparentPixelsShowTheBackdropTheBKeyChooses) {
    Frame clear = plain(4, 2, 3);
    clear.transparent = 3;
    show({plain(4, 2, 9), clear});
    player->SetPaused(true);
    const QRgb window = player->palette().color(QPalette::Window).rgb();
    for (const auto& [back, seen] : std::initializer_list<std::pair<int, QRgb>>{
             {1, kCheckerLight}, {2, window}, {0, qRgb(3, 100, 200)}}) {
        QTest::keyClick(player, Qt::Key_B);
        EXPECT_EQ(objects->AnBack, back);
        while (drawn.empty() || drawn.back() != 1)
            player->stepWhilePaused(1);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(player->winId()).toImage();
        EXPECT_EQ(shot.pixel(1, 1), seen) << back;
        player->stepWhilePaused(1); // the opaque frame covers it all again
        EXPECT_EQ(screen(1, 1), Rows{{9}}) << back;
    }
}

TEST_F(PlayerTest, TickSequences) {
    // One character per event: t a tick of timer 12, x a tick of another timer,
    // p pause, c continue, 0-9 SetDelay with that number, r and l a step right
    // and left while paused, T and P the file's timing and ping-pong keys.
    // Expected: per tick or step, the frame drawn or -1. Frame k's tag is
    // tags[k] (0 without).
    struct Case {
        const char* name;
        int frames;
        int delay;
        const char* events;
        std::vector<int> expected;
        std::vector<int> tags = {};
    } const cases[] = {
        {"speed 10", 3, 0, "tttttt", {1, 2, 0, 1, 2, 0}},
        {"speed 7", 3, 3, "tttttttt", {-1, -1, -1, 1, -1, -1, -1, 2}},
        {"speed 0", 2, 10, "tttttttttttttttttttttt", {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1,
                                                      -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0}},
        {"pause and continue", 3, 0, "tpttctt", {1, -1, -1, 2, 0}},
        {"ticks count on while paused", 3, 1, "tpttct", {-1, -1, -1, 1}},
        {"faster while playing", 3, 3, "tt0tt", {-1, -1, 1, 2}},
        {"slower while playing", 3, 0, "t2tttt", {1, -1, -1, 2, -1}},
        {"other timers ignored", 2, 1, "txxt", {-1, 1}},
        {"one frame", 1, 0, "ttt", {0, 0, 0}},
        // Each frame stays its tag in ticks of 10 ms; 0 and 1 stay 10.
        {"the file's timing",
         3,
         5,
         "Tttttttttttttttt",
         {-1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, -1, -1, 0},
         {2, 1, 3}},
        {"the file's timing off again", 2, 0, "TtTt", {-1, 1}, {5, 5}},
        {"ping-pong", 4, 0, "Ptttttttt", {1, 2, 3, 2, 1, 0, 1, 2}},
        {"ping-pong of two", 2, 0, "Pttt", {1, 0, 1}},
        {"ping-pong steps", 3, 0, "Pttprrrll", {1, 2, 1, 0, 1, 0, 1}},
        {"ping-pong off keeps the frame shown", 4, 0, "PttttPtt", {1, 2, 3, 2, 3, 0}},
    };
    for (const Case& c : cases) {
        std::vector<Frame> list;
        for (int i = 0; i < c.frames; ++i) {
            list.push_back(plain(2, 2, static_cast<unsigned char>(i)));
            list.back().tag = i < static_cast<int>(c.tags.size()) ? c.tags[size_t(i)] : 0;
        }
        show(std::move(list));
        // The first paint draws frame 0 before any tick.
        ASSERT_EQ(joined(drawn), "0") << c.name;
        player->SetDelay(c.delay);
        std::vector<int> actual;
        for (const char* e = c.events; *e; ++e) {
            const size_t before = drawn.size();
            switch (*e) {
            case 't':
                player->Tick(TPz4AnimWin::TimerId);
                actual.push_back(drawn.size() > before ? drawn.back() : -1);
                break;
            case 'x':
                player->Tick(TPz4AnimWin::TimerId + 1);
                EXPECT_EQ(drawn.size(), before) << c.name;
                break;
            case 'p':
                player->SetPaused(true);
                break;
            case 'c':
                player->SetPaused(false);
                break;
            case 'r':
            case 'l':
                player->stepWhilePaused(*e == 'r' ? 1 : -1);
                actual.push_back(drawn.size() > before ? drawn.back() : -1);
                break;
            case 'T':
            case 'P':
                QTest::keyClick(player, *e == 'T' ? Qt::Key_T : Qt::Key_P);
                break;
            default:
                player->SetDelay(*e - '0');
                break;
            }
        }
        EXPECT_EQ(joined(c.expected), joined(actual)) << c.name << " (expected, then actual)";
        delete player;
        drawn.clear();
        objects->AnTiming = objects->AnPingPong = 0;
    }
}

TEST_F(PlayerTest, EveryPaintIsAStepOfItsOwn) {
    show({plain(2, 2, 1), plain(2, 2, 2), plain(2, 2, 3)});
    EXPECT_EQ(player->nextFrame(), 1);
    player->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(joined(drawn), "0 1");
    EXPECT_EQ(player->nextFrame(), 2);
}

TEST_F(PlayerTest, MirrorModesPlaceTheBufferRows) {
    // Buffer row 0 is 1 2 3, row 1 is 4 5 6; the screen is read from the top.
    const struct {
        int mirror;
        Rows shown;
    } cases[] = {
        {0, {{4, 5, 6}, {1, 2, 3}}}, {1, {{6, 5, 4}, {3, 2, 1}}}, {2, {{1, 2, 3}, {4, 5, 6}}},
        {3, {{3, 2, 1}, {6, 5, 4}}}, {7, {{4, 5, 6}, {1, 2, 3}}}, // unknown: as it is
    };
    for (const auto& c : cases) {
        show({Frame{{1, 2, 3, 4, 5, 6}, 3, 2, c.mirror}});
        EXPECT_EQ(screen(3, 2), c.shown) << "mirror " << c.mirror;
        delete player;
    }
}

TEST_F(PlayerTest, TheSameFrameStraightAndMirroredAlternates) {
    const std::vector<unsigned char> px = {1, 2, 3, 4, 5, 6};
    show({Frame{px, 3, 2, 0}, Frame{px, 3, 2, 1}});
    const Rows straight = {{4, 5, 6}, {1, 2, 3}};
    const Rows reversed = {{6, 5, 4}, {3, 2, 1}};
    EXPECT_EQ(screen(3, 2), straight);
    for (const Rows& expected : {reversed, straight, reversed}) {
        player->Tick(TPz4AnimWin::TimerId);
        EXPECT_EQ(screen(3, 2), expected);
    }
}

TEST_F(PlayerTest, ASmallerFrameLeavesTheEarlierPictureAroundIt) {
    show({plain(4, 3, 9), plain(2, 1, 5)});
    player->Tick(TPz4AnimWin::TimerId);
    EXPECT_EQ(screen(4, 3), (Rows{{5, 5, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}}));
}

TEST_F(PlayerTest, PicturesAreMadeWithTheTableOfTheirTime) {
    objects->trnManager->SetTranslation(1, 40);
    show({plain(2, 2, 1), plain(2, 2, 1)});
    objects->trnManager->SetTranslation(1, 50);
    player->Tick(TPz4AnimWin::TimerId);
    EXPECT_EQ(screen(2, 2), (Rows{{40, 40}, {40, 40}}));
}

TEST_F(PlayerTest, PastTheCacheBoundFramesAreConvertedAsTheyAreDrawn) {
    make({plain(4, 4, 1), plain(4, 4, 2), plain(4, 4, 3)});
    // Room for the screen pixmaps of two 4 x 4 frames.
    player->setPixmapBudget(2 * 4 * 4 * 4);
    player->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
    for (int value : {2, 3, 1, 2, 3}) {
        player->Tick(TPz4AnimWin::TimerId);
        EXPECT_EQ(screen(4, 4), Rows(4, std::vector<int>(4, value)));
    }
    EXPECT_EQ(player->cachedPixmapBytes(), 2 * 4 * 4 * 4);
}

TEST_F(PlayerTest, OuterSizeFollowsTheLargestFrame) {
    struct {
        std::vector<std::pair<int, int>> sizes;
        QSize outer;
    } const cases[] = {
        {{{400, 300}}, {406, 335}},
        {{{401, 10}}, {400, 45}},
        {{{20, 500}, {300, 40}}, {306, 535}}, // widest and tallest from different frames
    };
    for (const auto& c : cases) {
        std::vector<Frame> list;
        for (auto [w, h] : c.sizes)
            list.push_back(plain(w, h, 1));
        show(std::move(list));
        EXPECT_EQ(player->frameGeometry().size(), c.outer);
        EXPECT_EQ(player->windowTitle(), QStringLiteral("Player"));
        EXPECT_NE(player->minimumSize(), player->maximumSize()) << "the user may resize it";
        delete player;
    }
}

// Rows of `frame` (values as shown from the top) blown up to `zoom` x `zoom` blocks.
Rows blocks(const Rows& rows, int zoom) {
    Rows out;
    for (const auto& row : rows) {
        std::vector<int> wide;
        for (int v : row)
            wide.insert(wide.end(), static_cast<size_t>(zoom), v);
        out.insert(out.end(), static_cast<size_t>(zoom), wide);
    }
    return out;
}

TEST_F(PlayerTest, ZoomedFramesAreBlocksInAWindowSizedToThem) {
    objects->AnZoom = 3;
    // Buffer row 0 is 1 2 3, row 1 is 4 5 6: shown 4 5 6 over 1 2 3.
    show({Frame{{1, 2, 3, 4, 5, 6}, 3, 2}, plain(2, 1, 9)});
    ASSERT_EQ(player->zoom(), 3);
    EXPECT_EQ(screen(9, 6), blocks({{4, 5, 6}, {1, 2, 3}}, 3));
    EXPECT_EQ(player->frameGeometry().size(), QSize(3 * 3 + 6, 3 * 2 + 35));
    // The smaller frame covers its own zoomed area only.
    player->Tick(TPz4AnimWin::TimerId);
    EXPECT_EQ(screen(9, 6)[0], (std::vector<int>{9, 9, 9, 9, 9, 9, 6, 6, 6}));
    EXPECT_EQ(screen(9, 6)[3], (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3, 3}));

    QTest::keyClick(player, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(player->zoom(), 2);
    EXPECT_EQ(objects->AnZoom, 2);
    EXPECT_EQ(player->frameGeometry().size(), QSize(2 * 3 + 6, 2 * 2 + 35));
    player->Tick(TPz4AnimWin::TimerId);
    EXPECT_EQ(screen(6, 4), blocks({{4, 5, 6}, {1, 2, 3}}, 2));
    QTest::keyClick(player, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(player->frameGeometry().size(), QSize(3 + 6, 2 + 35));
}

TEST_F(PlayerTest, ZoomedSizeStaysOnTheScreenAndZoomOneKeepsTheWidthCap) {
    const QSize room = QGuiApplication::primaryScreen()->availableSize();
    show({plain(401, 30, 1)});
    for (int z : {1, 2, 8, 1}) {
        player->setZoom(z);
        const QSize wanted = z == 1 ? QSize(400, 65) : QSize(z * 401 + 6, z * 30 + 35);
        EXPECT_EQ(player->frameGeometry().size(), wanted.boundedTo(room)) << z;
    }
}

// Right and Left look at a paused animation frame by frame, wrapping at both ends;
// play then continues after the frame on screen.
// O blends the neighbours in the order of play over the frame shown: two thirds
// and one third, then a third each; the tooltip names the frame on screen.
TEST_F(PlayerTest, OnionSkinBlendsTheNeighboursAndTheTooltipNamesTheFrame) {
    show({plain(2, 2, 30), plain(2, 2, 60), plain(2, 2, 210)});
    player->SetPaused(true);
    for (const auto& [mode, red] : std::initializer_list<std::pair<int, int>>{
             {1, 30 * 2 / 3 + 210 / 3}, {2, (30 + 210 + 60) / 3}, {0, 30}}) {
        QTest::keyClick(player, Qt::Key_O);
        EXPECT_EQ(objects->AnOnion, mode);
        const QRgb c =
            QGuiApplication::primaryScreen()->grabWindow(player->winId()).toImage().pixel(1, 1);
        EXPECT_NEAR(qRed(c), red, 2) << "onion " << mode;
        EXPECT_EQ(qGreen(c), 100);
    }
    EXPECT_EQ(player->frameInfo(), QStringLiteral("Frame 20\n1 of 3\n2 x 2 pixels\nTag 0"));
}

TEST_F(PlayerTest, RightAndLeftStepAPausedPlayer) {
    show({plain(2, 2, 1), plain(2, 2, 2), plain(2, 2, 3)});
    ASSERT_EQ(joined(drawn), "0");
    QTest::keyClick(player, Qt::Key_Right);
    EXPECT_EQ(joined(drawn), "0") << "not paused: the keys do nothing";
    player->SetPaused(true);
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Left,
                    Qt::Key_Left, Qt::Key_Left})
        QTest::keyClick(player, static_cast<Qt::Key>(key));
    EXPECT_EQ(joined(drawn), "0 1 2 0 2 1 0 2");
    EXPECT_EQ(screen(2, 2), (Rows{{3, 3}, {3, 3}}));
    // Zooming a paused player shows the same frame at the new size.
    player->setZoom(2);
    EXPECT_EQ(screen(4, 4), blocks({{3, 3}, {3, 3}}, 2));
    player->SetPaused(false);
    player->Tick(TPz4AnimWin::TimerId);
    EXPECT_EQ(joined(drawn), "0 1 2 0 2 1 0 2 2 0");
}

TEST_F(PlayerTest, TheTimerRunsAtThePlatformFloorAndStepsThePlayer) {
    show({plain(2, 2, 1), plain(2, 2, 2)});
    player->setTimer(TPz4AnimWin::TimerId, TPz4AnimWin::TimerPeriodMs);
    EXPECT_TRUE(player->timerActive());
    EXPECT_EQ(player->timerPeriod(), WindowTimer::kFloorMs);
    // Waits for steps, not for a time: a busy machine may deliver ticks late.
    EXPECT_TRUE(QTest::qWaitFor([this] { return drawn.size() > 2; }, 5000));
}

TEST_F(PlayerTest, CloseStoresThePlaceAndNotifiesOnce) {
    show({plain(2, 2, 1)});
    player->setTimer(TPz4AnimWin::TimerId, TPz4AnimWin::TimerPeriodMs);
    player->move(210, 120);
    QCoreApplication::processEvents();
    player->Close();
    player->Close();
    EXPECT_EQ(parent->messages, std::vector<int>{996});
    EXPECT_EQ(objects->AnWX, 210);
    EXPECT_EQ(objects->AnWY, 120);
    EXPECT_FALSE(player->timerActive());
    pz4test::runDeferredDeletes();
    EXPECT_TRUE(player.isNull());
}

} // namespace
