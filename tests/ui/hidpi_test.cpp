// Windows on a screen of device pixel ratio 2, as Qt's scale factor makes one:
// frames keep their logical size and every frame pixel is a sharp 2 x 2 block.
#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "display/ui/ViewWin.h"
#include "frames/FrameList.h"
#include "palette/ui/ColourGrid.h"
#include "palette/ui/PALDlg.h"
#include "palette/ui/PALDlgClient.h"

#include <QTest>

namespace {

// Set before the test program's one application object is made.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

class HiDpiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kScaled);
        pz4test::app();
    }
};

// The grid keeps its cells where the logical geometry puts them: each logical
// pixel of a cell, and of the background line beside it, is 2 x 2 device pixels.
TEST_F(HiDpiTest, PaletteGridCellsKeepTheirLogicalGeometry) {
    pz4test::TempWorkDir dir;
    std::vector<unsigned char> bytes;
    for (int k = 0; k < 256; ++k)
        for (int c = 0; c < 3; ++c)
            bytes.push_back(static_cast<unsigned char>(k + c));
    dir.write("ramp.pal", bytes);
    dir.write("pz.ini", "DefaultPalette=ramp.pal\r\n");
    cObjectManager objects;
    ScriptedPrompts prompts;
    FileDialogState state;
    QWidget parent;
    auto* pal = new TPz4PALDlg(&parent, &objects, prompts, state);
    pal->show();
    auto* grid = pal->client()->findChild<ColourGrid*>(QString::number(TPz4PALDlgClient::GridId));
    ASSERT_NE(grid, nullptr);
    const QImage shot = grid->grab().toImage();
    ASSERT_EQ(shot.size(), grid->size() * 2);
    const GridGeometry g = grid->geometryOfCells();
    for (int k : {0, 37, 255}) {
        const QRect cell = g.cell(k);
        const QRgb colour = qRgb(k, k + 1, k + 2);
        const QRect device(cell.topLeft() * 2, cell.size() * 2);
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                ASSERT_EQ(shot.pixel(x, y), colour) << "cell " << k << " at " << x << "," << y;
        // The line right of the cell is two device pixels of background.
        for (int dx : {1, 2})
            EXPECT_NE(shot.pixel(device.right() + dx, device.top()), colour) << "cell " << k;
        EXPECT_NE(shot.pixel(device.left() - 1, device.top()), colour) << "cell " << k;
    }
    delete pal;
}

// A 3 x 2 frame of six values, each shown in its own colour.
struct SixPixels {
    std::vector<unsigned char> pixels{1, 2, 3, 4, 5, 6}; // buffer row 0 first
    std::vector<unsigned char> palette = [] {
        std::vector<unsigned char> p(768);
        for (int k = 0; k < 256; ++k) {
            p[3 * k] = static_cast<unsigned char>(40 * k);
            p[3 * k + 1] = 77;
            p[3 * k + 2] = static_cast<unsigned char>(255 - k);
        }
        return p;
    }();
    static QRgb colour(int v) { return qRgb((40 * v) & 255, 77, 255 - v); }
    std::unique_ptr<cFrameList> chain() {
        return std::unique_ptr<cFrameList>(
            new cFrameList(nullptr, pixels.data(), palette.data(), 3, 2, 0, 0, 0));
    }
};

// Checks that logical pixel (c, r) of the picture at logical `origin` is a
// block x block square of device pixels in the value's colour.
void expectPictureBlocks(const QImage& shot, QPoint origin, int block, bool skipLines) {
    const int rows[2][3] = {{4, 5, 6}, {1, 2, 3}}; // as shown, from the top
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            for (int dy = 0; dy < block; ++dy)
                for (int dx = 0; dx < block; ++dx) {
                    const int x = 2 * origin.x() + c * block + dx;
                    const int y = 2 * origin.y() + r * block + dy;
                    // The viewer's light lines are one logical pixel, two device pixels.
                    if (skipLines && (x < 2 * origin.x() + 2 || y < 2 * origin.y() + 2))
                        continue;
                    ASSERT_EQ(shot.pixel(x, y), SixPixels::colour(rows[r][c]))
                        << "block " << c << "," << r << " device " << x << "," << y;
                }
}

TEST_F(HiDpiTest, ViewerAndPlayerShowFramesAsBlocksAtTheirLogicalSize) {
    pz4test::TempWorkDir dir;
    const struct {
        bool viewer;
        int zoom;
    } cases[] = {{true, 1}, {true, 3}, {false, 1}, {false, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.viewer ? "viewer" : "player") << " zoom " << c.zoom);
        cObjectManager objects;
        objects.ViZoom = objects.AnZoom = c.zoom;
        SixPixels frame;
        QWidget parent;
        QWidget* window =
            c.viewer ? static_cast<QWidget*>(new TPz4ViewWin(&parent, &objects, frame.chain()))
                     : new TPz4AnimWin(&parent, &objects, frame.chain());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        // Rendered afresh: with one frame every paint of the player shows that frame.
        const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shot.size(), window->size() * 2);
        const int top = c.viewer ? TPz4ViewWin::PictureTop : 0;
        expectPictureBlocks(shot, QPoint(0, top), 2 * c.zoom, c.viewer);
        if (c.viewer) {
            // The dark line right of the picture is one logical pixel wide.
            const int x = 2 * 3 * c.zoom, y = 2 * top + 2;
            EXPECT_EQ(shot.pixel(x, y), TPz4ViewWin::DarkLine);
            EXPECT_EQ(shot.pixel(x + 1, y), TPz4ViewWin::DarkLine);
            EXPECT_NE(shot.pixel(x + 2, y), TPz4ViewWin::DarkLine);
        }
        delete window;
    }
}

} // namespace
