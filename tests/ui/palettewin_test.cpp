#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"
#include "palette/ui/ColourGrid.h"
#include "palette/ui/PALDlg.h"
#include "palette/ui/PALDlgClient.h"
#include "palette/ui/TRNDlg.h"
#include "palette/ui/TRNDlgClient.h"
#include "platform/DialogUnits.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <optional>

namespace {

using Cells = std::vector<QRgb>; // the 256 colours a grid should show, entry 0 first

// A palette whose 256 entries all differ: entry k is (k, 3k mod 256, 255 - k).
std::vector<unsigned char> rampPalette() {
    std::vector<unsigned char> bytes;
    for (int k = 0; k < 256; ++k) {
        bytes.push_back(static_cast<unsigned char>(k));
        bytes.push_back(static_cast<unsigned char>(3 * k));
        bytes.push_back(static_cast<unsigned char>(255 - k));
    }
    return bytes;
}

Cells cellsOf(const std::vector<unsigned char>& palette, const std::vector<int>& table = {}) {
    Cells cells;
    for (int k = 0; k < 256; ++k) {
        const int e = table.empty() ? k : table[k];
        cells.push_back(qRgb(palette[3 * e], palette[3 * e + 1], palette[3 * e + 2]));
    }
    return cells;
}

Cells greyCells() {
    return Cells(256, qRgb(64, 64, 64));
}

// Where entry k's cell lies in a swatch area at `area` (dialog coordinates), as
// GridGeometry's own table test pins it down.
QRect expectedCell(const QRect& area, int k) {
    return GridGeometry::of(area.size()).cell(k).translated(area.topLeft());
}

// Checks the grid a dialog shows in its swatch area `areaId`: every cell's colour,
// and for entries 0, 37 and 255 that exactly the expected pixels carry it. No
// cells: the area's inside is one colour, the dialog's background.
void expectGrid(QWidget* dialog, int areaId, const std::optional<Cells>& cells,
                const std::string& what) {
    const QWidget* area = dialog->findChild<QWidget*>(QString::number(areaId));
    ASSERT_NE(area, nullptr) << what;
    const QImage shot = dialog->grab().toImage();
    const QRect r = area->geometry();
    const QRgb background = shot.pixel(r.x() + 2, r.y() + 2);
    if (!cells) {
        for (int y = r.y() + 2; y < r.bottom() - 1; ++y)
            for (int x = r.x() + 2; x < r.right() - 1; ++x)
                ASSERT_EQ(shot.pixel(x, y), background) << what << " at " << x << "," << y;
        return;
    }
    for (int k = 0; k < 256; ++k)
        ASSERT_EQ(shot.pixel(expectedCell(r, k).center()), (*cells)[k]) << what << " cell " << k;
    for (int k : {0, 37, 255}) {
        const QRect c = expectedCell(r, k);
        const QRgb colour = (*cells)[k];
        for (QPoint inside : {c.topLeft(), c.topRight(), c.bottomLeft(), c.bottomRight()})
            EXPECT_EQ(shot.pixel(inside), colour) << what << " cell " << k;
        // The background line right of and below the cell, and the one before it;
        // the last cell's line may fall on the area's two-pixel border.
        const QRect inner = r.adjusted(2, 2, -2, -2);
        for (QPoint outside : {c.topRight() + QPoint(1, 0), c.bottomLeft() + QPoint(0, 1),
                               c.topLeft() - QPoint(1, 0), c.topLeft() - QPoint(0, 1)}) {
            if (inner.contains(outside))
                EXPECT_EQ(shot.pixel(outside), background) << what << " cell " << k;
            else
                EXPECT_NE(shot.pixel(outside), colour) << what << " cell " << k;
        }
    }
}

TEST(GridGeometry, PlacesCellsInsideTheArea) {
    struct Case {
        QSize area;
        int k;
        QRect cell;
    } cases[] = {
        // A 212 x 196 area: spacing 13 x 12, grid from (4, 4).
        {{212, 196}, 0, QRect(QPoint(4, 4), QPoint(15, 14))},
        {{212, 196}, 255, QRect(QPoint(199, 184), QPoint(210, 194))},
        {{212, 196}, 37, QRect(QPoint(69, 28), QPoint(80, 38))},
        // Room left over is split evenly around the grid.
        {{40, 40}, 0, QRect(6, 6, 1, 1)},
        // Too small for a cell beside its background line: nothing is filled.
        {{35, 100}, 0, QRect()},
        {{3, 3}, 255, QRect()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridGeometry::of(c.area).cell(c.k), c.cell) << c.area.width() << " " << c.k;
}

class PaletteWindowsTest : public pz4test::ToolWindowFixture {
protected:
    void SetUp() override {
        ToolWindowFixture::SetUp();
        dir.write("ramp.pal", rampPalette());
    }
    void TearDown() override {
        delete pal.data();
        delete trn.data();
        objects.reset();
    }

    void start(const std::string& ini = {}) {
        if (!ini.empty())
            dir.write("pz.ini", ini);
        objects = std::make_unique<cObjectManager>();
    }
    void openPalette() {
        pal = new TPz4PALDlg(parent.get(), objects.get(), prompts, paletteState);
        pal->show();
    }
    void openTrn() {
        trn = new TPz4TRNDlg(parent.get(), objects.get(), prompts, trnState);
        trn->show();
    }
    QString text(QWidget* dialog, int id) const {
        return dialog->findChild<QLabel*>(QString::number(id))->text();
    }
    void click(QWidget* dialog, int id) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::number(id)), Qt::LeftButton);
    }
    QString qpath(const std::string& name) const { return QString::fromStdString(path(name)); }

    ScriptedPrompts prompts;
    FileDialogState paletteState;
    FileDialogState trnState;
    std::unique_ptr<cObjectManager> objects;
    QPointer<TPz4PALDlg> pal;
    QPointer<TPz4TRNDlg> trn;
};

TEST_F(PaletteWindowsTest, PaletteWindowShowsTheCurrentPalette) {
    dir.write("short.pal", std::vector<unsigned char>{255, 0, 0, 0, 0, 255});
    start();
    openPalette();
    TPz4PALDlgClient* client = pal->client();
    EXPECT_EQ(pal->windowTitle(), QStringLiteral("Palette"));
    EXPECT_EQ(pal->minimumSize(), pal->maximumSize());
    EXPECT_EQ(client->size(), DialogUnits(QFont(QStringLiteral("Arial"), 8)).size(233, 159));
    EXPECT_EQ(pal->size(), client->size());
    Cells shortCells = greyCells();
    shortCells[0] = qRgb(255, 0, 0);
    shortCells[1] = qRgb(0, 0, 255);
    struct Step {
        const char* what;
        std::optional<std::string> answer; // the file chosen; none: no Load
        bool cancel;
        QString name;
        std::optional<Cells> cells;
    } steps[] = {
        // The default grey palette has no name: nothing loaded as far as users see.
        {"opened without DefaultPalette", {}, false, "none Loaded...", {}},
        {"cancelled Load", {}, true, "none Loaded...", {}},
        {"768-byte palette", "ramp.pal", false, qpath("ramp.pal"), cellsOf(rampPalette())},
        {"cancel keeps it", {}, true, qpath("ramp.pal"), cellsOf(rampPalette())},
        // The grid of the palette just replaced is cleared, not left standing.
        {"file that cannot be opened", "missing.pal", false, "none Loaded...", {}},
        {"short file", "short.pal", false, qpath("short.pal"), shortCells},
    };
    for (const Step& s : steps) {
        if (s.answer) {
            prompts.answer(path(*s.answer));
            click(client, TPz4PALDlgClient::LoadId);
        } else if (s.cancel) {
            prompts.cancel();
            click(client, TPz4PALDlgClient::LoadId);
        }
        EXPECT_EQ(text(client, TPz4PALDlgClient::NameId), s.name) << s.what;
        expectGrid(client, TPz4PALDlgClient::GridId, s.cells, s.what);
    }
    // Every Load asks with the palette filter and reopens on the previous choice.
    ASSERT_EQ(prompts.dialogs.size(), 5u);
    EXPECT_EQ(prompts.dialogs[0].filter, "all Files (*.*)|*.*|PAL Files (*.pal)|*.pal");
    EXPECT_EQ(prompts.dialogs[0].lastPath, "");
    EXPECT_EQ(prompts.dialogs[3].lastPath, path("ramp.pal"));
    EXPECT_EQ(prompts.dialogs[4].lastPath, path("missing.pal"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PaletteWindowsTest, APaletteNamedAtStartIsShownAtOnce) {
    start("DefaultPalette=ramp.pal\r\n");
    openPalette();
    EXPECT_EQ(text(pal->client(), TPz4PALDlgClient::NameId), QStringLiteral("ramp.pal"));
    expectGrid(pal->client(), TPz4PALDlgClient::GridId, cellsOf(rampPalette()), "at start");
}

TEST_F(PaletteWindowsTest, TranslationWindowShowsPaletteAndTable) {
    std::vector<int> reversed(256), all255(256, 255);
    std::vector<unsigned char> reversedBytes;
    for (int k = 0; k < 256; ++k) {
        reversed[k] = 255 - k;
        reversedBytes.push_back(static_cast<unsigned char>(255 - k));
    }
    dir.write("reversed.trn", reversedBytes);
    dir.write("all255.trn", std::vector<unsigned char>(256, 255));
    start();
    openTrn();
    TPz4TRNDlgClient* client = trn->client();
    EXPECT_EQ(trn->windowTitle(), QStringLiteral("Color Translation"));
    const Cells ramp = cellsOf(rampPalette());
    const QString identityName = QStringLiteral("Default (1 to 1 translation)");

    enum Action { None, LoadPalette, LoadTable, Reset };
    struct Step {
        const char* what;
        Action action;
        const char* file;
        QString name;
        std::optional<Cells> left, right;
    } steps[] = {
        // An unnamed palette draws no left grid, but the table still shows its greys.
        {"opened without DefaultPalette", None, nullptr, identityName, {}, greyCells()},
        {"palette loaded, identity table", LoadPalette, "ramp.pal", identityName, ramp, ramp},
        {"every entry 255", LoadTable, "all255.trn", qpath("all255.trn"), ramp,
         cellsOf(rampPalette(), all255)},
        {"reset", Reset, nullptr, identityName, ramp, ramp},
        {"reversed table", LoadTable, "reversed.trn", qpath("reversed.trn"), ramp,
         cellsOf(rampPalette(), reversed)},
        // Its grid is cleared rather than left showing a table no longer current.
        {"table that cannot be opened", LoadTable, "missing.trn", "none Loaded...", ramp, {}},
        {"reset after a failure", Reset, nullptr, identityName, ramp, ramp},
        // The palette window replaced the palette: seen at the next paint.
        {"palette that cannot be opened",
         LoadPalette,
         "missing.pal",
         identityName,
         {},
         greyCells()},
    };
    for (const Step& s : steps) {
        switch (s.action) {
        case None:
            break;
        case LoadPalette:
            objects->palManager = std::make_unique<cPalManager>(path(s.file).c_str());
            break;
        case LoadTable:
            prompts.answer(path(s.file));
            click(client, TPz4TRNDlgClient::LoadId);
            break;
        case Reset:
            click(client, TPz4TRNDlgClient::ResetId);
            break;
        }
        EXPECT_EQ(text(client, TPz4TRNDlgClient::NameId), s.name) << s.what;
        expectGrid(client, TPz4TRNDlgClient::LeftGridId, s.left, s.what);
        expectGrid(client, TPz4TRNDlgClient::RightGridId, s.right, std::string(s.what) + " right");
    }
    ASSERT_EQ(prompts.dialogs.size(), 3u);
    EXPECT_EQ(prompts.dialogs[0].filter, "all Files (*.*)|*.*|TRN Files (*.trn)|*.trn");
    EXPECT_EQ(prompts.dialogs[1].lastPath, path("all255.trn"));
    EXPECT_TRUE(paletteState.path.empty()); // the two windows remember separately
}

// Exit and the window system's close request (the system menu's Close, Alt+F4)
// each store the position and tell the parent exactly once; Enter and Escape
// close nothing.
TEST_F(PaletteWindowsTest, EveryWayOfClosingStoresThePositionAndNotifiesOnce) {
    start();
    struct Case {
        const char* what;
        bool translation;
        bool byExit;
        int message;
    } cases[] = {
        {"palette, Exit", false, true, closing::PaletteClosed},
        {"palette, close request", false, false, closing::PaletteClosed},
        {"translation, Exit", true, true, closing::TrnClosed},
        {"translation, close request", true, false, closing::TrnClosed},
    };
    int n = 0;
    for (const Case& c : cases) {
        parent->messages.clear();
        c.translation ? openTrn() : openPalette();
        QPointer<FramedToolWindow> window =
            c.translation ? static_cast<FramedToolWindow*>(trn) : pal.data();
        QWidget* client = c.translation ? static_cast<QWidget*>(trn->client()) : pal->client();
        const QPoint place(100 + 10 * n, 200 + 10 * n);
        ++n;
        window->move(place);

        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(window, key);
            QTest::keyClick(client, key);
        }
        pz4test::runDeferredDeletes();
        ASSERT_TRUE(window) << c.what;
        EXPECT_TRUE(window->isVisible()) << c.what;
        EXPECT_TRUE(parent->messages.empty()) << c.what;

        if (c.byExit)
            click(client, TPz4PALDlgClient::ExitId);
        else
            window->windowHandle()->close();
        window->Close();
        EXPECT_EQ(parent->messages, std::vector<int>{c.message}) << c.what;
        const QPoint stored = c.translation ? QPoint(objects->TRNX, objects->TRNY)
                                            : QPoint(objects->PaX, objects->PaY);
        EXPECT_EQ(stored, place) << c.what;
        pz4test::runDeferredDeletes();
        EXPECT_FALSE(window) << c.what;
    }
}

} // namespace
