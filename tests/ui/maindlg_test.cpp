#include "UiTestSupport.h"

#include "TempWorkDir.h"
#include "app/MainDlg.h"
#include "app/SDIDecFrame.h"
#include "context/ObjectManager.h"
#include "frames/ui/ListDlg.h"
#include "platform/DialogUnits.h"
#include "platform/ScriptedPrompts.h"
#include "plugins/FileTypes.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using pz4test::readLines;

class MainWindowTest : public pz4test::MainWindowFixture {
protected:
    void plugin(const std::string& stem, const std::string& cfg = {}) {
        dir.addFixture("pzuifix", pz4test::libraryFileName(stem));
        dir.write(stem + ".cfg", cfg);
    }
    QPushButton* button(int id) const {
        return frame->findChild<QPushButton*>(QString::number(id));
    }
    void click(int id) { QTest::mouseClick(button(id), Qt::LeftButton); }

    // Loads `name` (created empty) through the Load button.
    void load(const std::string& name) {
        dir.write(name, std::string());
        prompts->answer(path(name));
        click(TPz4MainDlg::LoadId);
    }
    QListView* list() const {
        return dlg()->listDlg()->findChild<QListView*>(QString::number(TPz4ListDlg::ListId));
    }
    void select(std::initializer_list<int> rows) {
        list()->clearSelection();
        for (int r : rows)
            list()->selectionModel()->select(list()->model()->index(r, 0),
                                             QItemSelectionModel::Select);
    }
};

TEST_F(MainWindowTest, StartsAsAFixedFrameAroundTheButtonBar) {
    start();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Pz4.0"));
    EXPECT_FALSE(frame->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(frame->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frame->windowIcon().isNull());
    EXPECT_EQ(frame->minimumSize(), frame->maximumSize()); // not resizable
    EXPECT_EQ(frame->size(), dlg()->size());

    const DialogUnits du(dlg()->font());
    EXPECT_EQ(dlg()->size(), du.size(261, 22));
    struct Button {
        int id;
        const char* label;
        int x;
    } buttons[] = {{101, "Load", 4},      {102, "Save", 36},  {103, "Info", 68},
                   {104, "View", 100},    {105, "Anim", 132}, {107, "TRN", 164},
                   {108, "Palette", 196}, {110, "Exit", 228}};
    for (const Button& b : buttons) {
        QPushButton* w = button(b.id);
        ASSERT_NE(w, nullptr) << b.id;
        EXPECT_EQ(w->text(), QString::fromLatin1(b.label));
        EXPECT_EQ(w->geometry(), du.rect(b.x, 4, 30, 14)) << b.label;
    }
}

TEST_F(MainWindowTest, AMaximisedStartOpensInTheNormalSize) {
    start();
    frame->hide();
    frame->setWindowState(Qt::WindowMaximized);
    TPz4App::ShowNormalised(frame.get());
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->size(), dlg()->size());
}

TEST_F(MainWindowTest, WithoutPlugInsEveryLoadFails) {
    start();
    load("walk.uif");
    EXPECT_EQ(messages(), std::vector<std::string>{"Error during loading: Unknown Format !"});
    EXPECT_EQ(prompts->messages[0].owner, dlg());
    EXPECT_EQ(dlg()->listDlg(), nullptr);
}

TEST_F(MainWindowTest, APlugInsReasonForRefusingAFileIsTheMessagesDetail) {
    dir.addFormat("pzpcx");
    start();
    dir.write("junk.pcx", std::string(300, 'x'));
    prompts->answer(path("junk.pcx"));
    click(TPz4MainDlg::LoadId);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "Unknown Format !");
    EXPECT_EQ(prompts->messages[0].detail, "not a PCX file (first byte 120, not 10)");
}

TEST_F(MainWindowTest, LoadListsTheFramesAndAnUnknownFileClosesThem) {
    plugin("pzuifix");
    start();
    load("walk.uif");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(frame->windowTitle(),
              QStringLiteral("Pz4.0 - [") + QString::fromStdString(path("walk.uif")) + "]");
    QPointer<TPz4ListDlg> first = dlg()->listDlg();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->pos(), QPoint(100, 100));
    ASSERT_EQ(list()->model()->rowCount(), 3);
    EXPECT_EQ(list()->model()->index(2, 0).data().toString(), QStringLiteral("Frame 002"));
    EXPECT_EQ(first->findChild<QLabel*>(QString::number(TPz4ListDlg::CountId))->text(),
              QStringLiteral("003"));

    // A second load replaces the list.
    load("run.uif");
    pz4test::runDeferredDeletes();
    EXPECT_FALSE(first);
    ASSERT_NE(dlg()->listDlg(), nullptr);
    QPointer<TPz4ListDlg> second = dlg()->listDlg();

    load("walk.xyz");
    pz4test::runDeferredDeletes();
    EXPECT_FALSE(second);
    EXPECT_EQ(dlg()->listDlg(), nullptr);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error during loading: Unknown Format !"});
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Pz4.0"));
    EXPECT_TRUE(dlg()->objectManager()->fileName.empty());
    EXPECT_EQ(readLines(path("pzuifix.log")).back(), "UnloadObject");
}

// A list closed by Load goes only at the next event loop pass; ending before it
// must not put its older position over the one the newer list holds.
TEST_F(MainWindowTest, AListClosedByLoadKeepsItsOldPositionToItself) {
    plugin("pzuifix");
    start();
    load("walk.uif");
    dlg()->listDlg()->move(150, 160);
    load("run.uif");
    ASSERT_NE(dlg()->listDlg(), nullptr);
    EXPECT_EQ(dlg()->listDlg()->pos(), QPoint(150, 160));
    dlg()->listDlg()->move(210, 220);
    frame.reset();
    const auto lines = readLines(path("pz.ini"));
    for (const char* l : {"LiX=00210", "LiY=00220"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), l), lines.end()) << l;
}

TEST_F(MainWindowTest, ACancelledLoadChangesNothing) {
    plugin("pzuifix");
    start();
    load("walk.uif");
    prompts->cancel();
    click(TPz4MainDlg::LoadId);
    EXPECT_NE(dlg()->listDlg(), nullptr);
    EXPECT_FALSE(dlg()->objectManager()->fileName.empty());
    EXPECT_TRUE(messages().empty());
}

TEST_F(MainWindowTest, TheFrameListOpensAtItsSavedPositionUnlessThatIsTheOrigin) {
    struct Case {
        const char* ini;
        QPoint expected;
    } cases[] = {
        {"LiX=00120\r\nLiY=00130\r\n", {120, 130}},
        {"LiX=00000\r\nLiY=00130\r\n", {0, 130}},
        {"LiX=00000\r\nLiY=00000\r\n", {100, 100}},
        {"", {100, 100}},
    };
    plugin("pzuifix");
    for (const Case& c : cases) {
        dir.write("pz.ini", std::string(c.ini));
        start();
        load("walk.uif");
        ASSERT_NE(dlg()->listDlg(), nullptr);
        EXPECT_EQ(dlg()->listDlg()->pos(), c.expected) << c.ini;
        frame.reset();
    }
}

TEST_F(MainWindowTest, SavesOneFrameUnderThePathWithThePlugInsExtension) {
    plugin("pzuifix");
    start();
    load("walk.uif");
    select({1});
    prompts->answer(path("out.pcx"), 2);
    click(TPz4MainDlg::SaveId);
    EXPECT_TRUE(messages().empty());
    // Frame 1 brings its own palette (200) and colour count (16).
    const std::string line = path("out.uif") + " 2 2 16 1001 200 200 1";
    EXPECT_EQ(saveLog(), (std::vector<std::string>{"SaveObject 1", line}));
    EXPECT_EQ(readLines(path("out.uif")), std::vector<std::string>{line});
}

TEST_F(MainWindowTest, SavesSeveralFramesNumberedWithTheCurrentPaletteWhereTheyHaveNone) {
    plugin("pzuifix", "frames=1005\n");
    start();
    load("walk.uif");
    select({0, 3, 1003});
    prompts->answer(path("out"), 2);
    click(TPz4MainDlg::SaveId);
    EXPECT_TRUE(messages().empty());
    // Frame 0 has no palette: the default grey (64) with 256 colours. Frame
    // numbers past 999 keep all digits, so 3 and 1003 get files of their own.
    EXPECT_EQ(saveLog(), (std::vector<std::string>{
                             "SaveObject 3",
                             path("out000.uif") + " 1 2 256 1000 64 64 0",
                             path("out003.uif") + " 4 2 16 1003 200 200 3",
                             path("out1003.uif") + " 4 2 16 2003 200 200 235",
                         }));
    for (const char* name : {"out000.uif", "out003.uif", "out1003.uif"})
        EXPECT_TRUE(dir.exists(name)) << name;
}

TEST_F(MainWindowTest, SavesThroughTheChosenPlugInNotTheOneThatLoaded) {
    plugin("pzaaa", "extension=aaa\n");
    plugin("pzbbb", "extension=bbb\n");
    start();
    load("walk.aaa");
    select({0});
    prompts->answer(path("out.aaa"), 3);
    click(TPz4MainDlg::SaveId);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(saveLog("pzaaa").empty());
    EXPECT_EQ(saveLog("pzbbb").front(), "SaveObject 1");
    EXPECT_TRUE(dir.exists("out.bbb"));
}

TEST_F(MainWindowTest, ConvertsThroughAFormatPlugInAndLoadsTheResultBack) {
    plugin("pzuifix", "frames=2\n");
    dir.addFormat("pzbmp");
    start();
    load("walk.uif");
    select({1});
    // The bmp entry of the frames dialog, counted from 1 ("all Files").
    const auto entries =
        ParseFilter(BuildFilter(*dlg()->objectManager()->dllManager, FileKind::Frames));
    int entry = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].patterns == std::vector<std::string>{"*.bmp"})
            entry = static_cast<int>(i) + 1;
    ASSERT_GT(entry, 1);
    prompts->answer(path("frame.bmp"), entry);
    click(TPz4MainDlg::SaveId);
    EXPECT_TRUE(messages().empty());
    ASSERT_TRUE(dir.exists("frame.bmp"));

    prompts->answer(path("frame.bmp"));
    click(TPz4MainDlg::LoadId);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(dlg()->objectManager()->frameCount, 1);
    EXPECT_EQ(list()->model()->rowCount(), 1);
}

TEST_F(MainWindowTest, RefusedSavesSayWhyAndWriteNothing) {
    plugin("pzuifix");
    start();
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: No Frames loaded !"});
    EXPECT_TRUE(prompts->dialogs.empty());

    load("walk.uif");
    select({0});
    prompts->messages.clear();
    prompts->cancel();
    click(TPz4MainDlg::SaveId);
    EXPECT_TRUE(messages().empty());

    prompts->answer(path("out.uif"), 1);
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Error: You must select a supported extension !"});

    prompts->messages.clear();
    list()->clearSelection();
    prompts->answer(path("out.uif"), 2);
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: No Frames selected !"});

    EXPECT_TRUE(saveLog().empty());
    EXPECT_FALSE(dir.exists("out.uif"));

    // With the frame list closed the file is still open, but counts as not loaded.
    prompts->messages.clear();
    dlg()->listDlg()->Close();
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: No Frames loaded !"});
}

TEST_F(MainWindowTest, ALockFailureSavesTheFramesLockedBeforeIt) {
    plugin("pzuifix", "lockfail=2\n");
    start();
    load("walk.uif");
    select({0, 1, 2});
    prompts->answer(path("out"), 2);
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Fatal Error: Can't lock frames for saving. Giving up..."});
    const auto log = saveLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "SaveObject 2");
    EXPECT_FALSE(dir.exists("out002.uif"));
}

TEST_F(MainWindowTest, AFailedSaveIsReported) {
    plugin("pzuifix", "savefail=1\n");
    start();
    load("walk.uif");
    select({0});
    prompts->answer(path("out"), 2);
    click(TPz4MainDlg::SaveId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: Error saving frame(s) !"});
}

// Exit and the close box both end the program writing pz.ini once, at the end.
TEST_F(MainWindowTest, ExitAndTheCloseBoxWriteTheSettingsOnceAtTheEnd) {
    plugin("pzuifix");
    for (const bool viaExit : {true, false}) {
        dir.write("pz.ini", std::string("// kept\r\n"));
        start();
        frame->move(30, 40);
        load("walk.uif");
        dlg()->listDlg()->move(150, 160);
        EXPECT_EQ(dir.read("pz.ini"), "// kept\r\n") << "nothing is written while running";
        QPointer<TSDIDecFrame> watched = frame.get();
        if (viaExit)
            click(TPz4MainDlg::ExitId);
        else
            frame->close();
        pz4test::runDeferredDeletes();
        ASSERT_TRUE(watched);
        EXPECT_EQ(frame->client(), nullptr) << viaExit;
        EXPECT_FALSE(frame->isVisible()) << viaExit;
        const auto lines = readLines(path("pz.ini"));
        auto has = [&](const std::string& l) {
            return std::find(lines.begin(), lines.end(), l) != lines.end();
        };
        EXPECT_EQ(lines.front(), "// kept");
        for (const char* l : {"LiX=00150", "LiY=00160", "MaX=00030", "MaY=00040"})
            EXPECT_TRUE(has(l)) << l << (viaExit ? " (Exit)" : " (close box)");
        EXPECT_EQ(readLines(path("pzuifix.log")).back(), "UnloadObject");

        // Nothing more once the program has ended.
        dir.write("pz.ini", std::string("after\r\n"));
        frame.reset();
        pz4test::runDeferredDeletes();
        EXPECT_EQ(dir.read("pz.ini"), "after\r\n");
    }
}

// Info, TRN and Palette keep at most one window each; Load leaves them open; a
// window opens again where it was closed, and the places reach pz.ini at the end.
TEST_F(MainWindowTest, InfoTrnAndPaletteOpenOneWindowEachAtItsSavedPlace) {
    plugin("pzuifix");
    dir.write("pz.ini", std::string("InX=00000\r\nInY=00000\r\nTRNX=00310\r\nTRNY=00320\r\n"
                                    "PaX=00410\r\nPaY=00420\r\n"));
    start();
    struct Case {
        int button;
        ToolDialog* (TPz4MainDlg::*window)() const;
        QString title;
        QPoint saved, moved;
        const char *keyX, *keyY;
    } cases[] = {
        // The information window goes to its saved place even when that is the origin.
        {TPz4MainDlg::InfoId,
         &TPz4MainDlg::infoDlg,
         "some specs...",
         {0, 0},
         {110, 120},
         "InX=00110",
         "InY=00120"},
        {TPz4MainDlg::TrnId,
         &TPz4MainDlg::trnDlg,
         "Color Translation",
         {310, 320},
         {130, 140},
         "TRNX=00130",
         "TRNY=00140"},
        {TPz4MainDlg::PaletteId,
         &TPz4MainDlg::palDlg,
         "Palette",
         {410, 420},
         {150, 160},
         "PaX=00150",
         "PaY=00160"},
    };
    auto count = [&](const QString& title) {
        int n = 0;
        for (ToolDialog* w : dlg()->findChildren<ToolDialog*>())
            n += w->windowTitle() == title && w->isVisible();
        return n;
    };
    for (const Case& c : cases) {
        click(c.button);
        QPointer<ToolDialog> first = (dlg()->*c.window)();
        ASSERT_TRUE(first) << c.title.toStdString();
        EXPECT_EQ(first->windowTitle(), c.title);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(first->pos(), c.saved) << c.title.toStdString();
        first->move(c.moved - QPoint(50, 50));
        click(c.button);
        EXPECT_EQ((dlg()->*c.window)(), first.data());
        EXPECT_EQ(count(c.title), 1) << c.title.toStdString();
        EXPECT_EQ(first->pos(), c.moved - QPoint(50, 50)) << "not moved by a second press";

        load("walk.uif");
        pz4test::runDeferredDeletes();
        ASSERT_TRUE(first) << "Load leaves " << c.title.toStdString() << " open";

        first->move(c.moved);
        first->Close();
        EXPECT_EQ((dlg()->*c.window)(), nullptr);
        pz4test::runDeferredDeletes();
        EXPECT_FALSE(first);
        click(c.button);
        ASSERT_NE((dlg()->*c.window)(), nullptr);
        EXPECT_EQ((dlg()->*c.window)()->pos(), c.moved) << c.title.toStdString();
    }
    EXPECT_TRUE(messages().empty());
    frame.reset();
    const auto lines = readLines(path("pz.ini"));
    for (const Case& c : cases)
        for (const char* l : {c.keyX, c.keyY})
            EXPECT_NE(std::find(lines.begin(), lines.end(), l), lines.end()) << l;
}

} // namespace
