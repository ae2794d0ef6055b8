#include "UiTestSupport.h"

#include "anim/ScriptManager.h"
#include "anim/ui/AnimDlg.h"
#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "platform/DialogUnits.h"
#include "plugins/DllManager.h"
#include "plugins/SaveChain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

namespace {

using pz4test::readLines;
using Client = TPz4AnimDlgClient;

class AnimatorTest : public pz4test::MainWindowFixture {
protected:
    cObjectManager& objects() const { return *dlg()->objectManager(); }
    // Presses Anim and waits for the animator's first paint.
    TPz4AnimDlg* anim() {
        QTest::mouseClick(frame->findChild<QPushButton*>("105"), Qt::LeftButton);
        auto* a = static_cast<TPz4AnimDlg*>(dlg()->animDlg());
        if (a != nullptr) {
            a->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(a));
            EXPECT_TRUE(QTest::qWaitForWindowActive(a));
        }
        return a;
    }
    // A loaded file of `frames` frames with its animator open.
    Client* open(int frames = 3, const std::string& cfg = {}) {
        plugin("frames=" + std::to_string(frames) + "\nsaveanims=1\n" + cfg);
        start();
        load("walk.uif");
        return anim()->client();
    }
    Client* client() const { return static_cast<TPz4AnimDlg*>(dlg()->animDlg())->client(); }
    QLineEdit* edit(int id) const { return client()->findChild<QLineEdit*>(QString::number(id)); }
    QPushButton* button(int id) const {
        return client()->findChild<QPushButton*>(QString::number(id));
    }
    std::string text(int id) const { return edit(id)->text().toStdString(); }
    QString stopText() const { return button(Client::StopId)->text(); }
    void press(int id) { QTest::mouseClick(button(id), Qt::LeftButton); }
    // Replaces an edit's text by typing, as a user does; the focus stays in it.
    void type(int id, const char* keys) {
        QLineEdit* e = edit(id);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, QString::fromLatin1(keys));
    }
    // Moves the focus to the Exit button's neighbour, Load Script, without pressing it.
    void leave() { button(Client::LoadScriptId)->setFocus(); }
    void script(bool on) {
        client()->findChild<QCheckBox*>(QString::number(Client::ScriptCheckId))->setChecked(on);
    }
    void loadScript(const std::string& name, const std::string& content) {
        dir.write(name, content);
        prompts->answer(path(name));
        press(Client::LoadScriptId);
    }
};

// The controls' places are the layout's own table; what follows from the file
// and the font is checked here: the range shown, the edits' lengths, labels
// wide enough for their text.
TEST_F(AnimatorTest, OpensOnTheWholeFileWithLabelsWideEnoughForTheirText) {
    Client* c = open();
    ToolDialog* a = dlg()->animDlg();
    EXPECT_EQ(a->windowTitle(), QStringLiteral("Animator..."));
    EXPECT_EQ(a->minimumSize(), a->maximumSize());
    EXPECT_EQ(c->size(), DialogUnits(c->font()).size(161, 77));
    EXPECT_EQ(text(Client::FromId), "000");
    EXPECT_EQ(text(Client::ToId), "002");
    EXPECT_EQ(text(Client::SpeedId), "10");
    EXPECT_EQ(edit(Client::FromId)->maxLength(), 3);
    EXPECT_EQ(edit(Client::ToId)->maxLength(), 3);
    EXPECT_EQ(edit(Client::SpeedId)->maxLength(), 2);
    EXPECT_FALSE(c->findChild<QCheckBox*>(QString::number(Client::ScriptCheckId))->isChecked());
    const QList<QLabel*> labels = c->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 4);
    for (const QLabel* l : labels)
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(l->text()))
            << l->text().toStdString();
}

TEST_F(AnimatorTest, SpeedButtonsStayWithinZeroToTenAndPaceThePlayer) {
    open();
    press(Client::PlayId);
    const struct {
        const char* before;
        int button;
        const char* after;
        int speed;
    } cases[] = {
        {"10", Client::PlusId, "10", 10}, {"00", Client::MinusId, "00", 0},
        {"07", Client::PlusId, "08", 8},  {"07", Client::MinusId, "06", 6},
        {"5", Client::PlusId, "06", 6},   {"", Client::MinusId, "00", 0},
    };
    for (const auto& c : cases) {
        edit(Client::SpeedId)->setText(QString::fromLatin1(c.before));
        press(c.button);
        EXPECT_EQ(text(Client::SpeedId), c.after) << c.before;
        EXPECT_EQ(objects().animSpeed, c.speed) << c.before;
        ASSERT_NE(client()->player(), nullptr);
        EXPECT_EQ(client()->player()->delay(), 10 - c.speed) << c.before;
    }
}

// The edits take digits only, and leaving one checks it.
TEST_F(AnimatorTest, LeavingAnEditChecksIt) {
    open(20);
    const struct {
        int edit;
        const char* typed;
        const char* other; // the from edit's text for the to edit, and the other way round
        const char* after;
    } cases[] = {
        {Client::SpeedId, "50", nullptr, "10"}, {Client::SpeedId, "3", nullptr, "03"},
        {Client::SpeedId, "", nullptr, "00"},   {Client::SpeedId, "a-5", nullptr, "05"},
        {Client::FromId, "1x2", "019", "012"},  {Client::FromId, "012", "005", "005"},
        {Client::FromId, "4", "019", "004"},    {Client::ToId, "999", "000", "019"},
        {Client::ToId, "3", "007", "007"},      {Client::ToId, "15", "002", "015"},
    };
    for (const auto& c : cases) {
        if (c.other != nullptr)
            edit(c.edit == Client::FromId ? Client::ToId : Client::FromId)->setText(c.other);
        type(c.edit, c.typed);
        leave();
        EXPECT_EQ(text(c.edit), c.after) << c.edit << " " << c.typed;
    }
    // The range checks leave the shared range alone.
    EXPECT_EQ(objects().animFrom, 0);
    EXPECT_EQ(objects().animTo, 19);
}

TEST_F(AnimatorTest, AButtonPressedWhileAnEditHasTheFocusSeesTheCheckedValue) {
    open(20);
    type(Client::SpeedId, "50");
    press(Client::PlayId);
    EXPECT_EQ(text(Client::SpeedId), "10");
    ASSERT_NE(client()->player(), nullptr);
    EXPECT_EQ(client()->player()->delay(), 0);
    type(Client::ToId, "999");
    press(Client::PlayId);
    EXPECT_EQ(text(Client::ToId), "019");
    ASSERT_NE(client()->player(), nullptr);
    EXPECT_EQ(client()->player()->frameCount(), 20);
}

TEST_F(AnimatorTest, PlaysTheRangeAtTheSpeedShown) {
    open(10);
    edit(Client::FromId)->setText("003");
    edit(Client::ToId)->setText("006");
    edit(Client::SpeedId)->setText("04");
    press(Client::PlayId);
    TPz4AnimWin* p = client()->player();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->frameCount(), 4);
    EXPECT_EQ(p->delay(), 6);
    EXPECT_TRUE(p->timerActive());
    EXPECT_EQ(p->maxWidth(), 4); // frames 3 to 6 are 4, 1, 2 and 3 pixels wide
    EXPECT_TRUE(messages().empty());
}

TEST_F(AnimatorTest, ScriptModeWithoutAUsableScriptSaysWhy) {
    open();
    script(true);
    press(Client::PlayId);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Error: No script loaded !",
                                                    "Error: Can't create FrameList !"}));
    prompts->messages.clear();
    press(Client::SaveId);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Error: No script loaded !",
                                                    "SAVE ERROR: Can't create FrameList !!!"}));
    prompts->messages.clear();
    loadScript("bad.scp", "1\n1025\n");
    EXPECT_TRUE(messages().empty());
    ASSERT_NE(objects().scriptManager, nullptr);
    press(Client::PlayId);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Error: No valid script loaded !",
                                                    "Error: Can't create FrameList !"}));
    EXPECT_EQ(client()->player(), nullptr);
    for (const auto& m : prompts->messages)
        EXPECT_EQ(m.owner, client());
}

TEST_F(AnimatorTest, AScriptStepTheFileRefusesIsLeftOut) {
    open(3, "lockfail=1\n");
    script(true);
    loadScript("walk.scp", "0\n1\n7\n2 MIRROR_X");
    press(Client::PlayId);
    EXPECT_TRUE(messages().empty());
    ASSERT_NE(client()->player(), nullptr);
    EXPECT_EQ(client()->player()->frameCount(), 2);

    loadScript("none.scp", "1\n9");
    press(Client::PlayId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: Can't create FrameList !"});
    EXPECT_EQ(client()->player(), nullptr);
}

TEST_F(AnimatorTest, LoadScriptAsksWithItsOwnFilterAndRemembersAcrossAnimators) {
    open();
    dir.write("walk.scp", "0\n1\n");
    prompts->answer(path("walk.scp"), 2);
    press(Client::LoadScriptId);
    ASSERT_NE(objects().scriptManager, nullptr);
    EXPECT_STREQ(objects().scriptManager->fileName.c_str(), path("walk.scp").c_str());
    ASSERT_EQ(prompts->dialogs.size(), 2u); // the Load before it
    EXPECT_FALSE(prompts->dialogs[1].save);
    EXPECT_EQ(prompts->dialogs[1].filter, "all Files (*.*)|*.*|Script Files (*.scp)|*.scp");
    EXPECT_EQ(prompts->dialogs[1].preselected, 1);

    // A cancelled dialog keeps the script; a new animator keeps it too.
    prompts->cancel();
    press(Client::LoadScriptId);
    anim();
    ASSERT_NE(objects().scriptManager, nullptr);
    prompts->cancel();
    press(Client::LoadScriptId);
    EXPECT_EQ(prompts->dialogs.back().lastPath, path("walk.scp"));
    EXPECT_EQ(prompts->dialogs.back().preselected, 2);
    EXPECT_TRUE(messages().empty());
}

// The Stop/Cont button and Space in the focused player take turns on one state.
TEST_F(AnimatorTest, StopAndSpacePauseAndContinue) {
    open();
    press(Client::StopId); // nothing plays: nothing happens
    EXPECT_EQ(stopText(), QStringLiteral("Stop"));
    EXPECT_FALSE(client()->paused());

    press(Client::PlayId);
    TPz4AnimWin* p = client()->player();
    ASSERT_NE(p, nullptr);
    const struct {
        bool space;
        bool paused;
    } steps[] = {{false, true}, {false, false}, {true, true},
                 {true, false}, {false, true},  {true, false}};
    for (const auto& s : steps) {
        if (s.space)
            QTest::keyClick(p, Qt::Key_Space);
        else
            press(Client::StopId);
        EXPECT_EQ(client()->paused(), s.paused);
        EXPECT_EQ(p->paused(), s.paused);
        EXPECT_EQ(stopText(), s.paused ? QStringLiteral("Cont") : QStringLiteral("Stop"));
    }
}

// The zoom set in one player is the next one's, and the one written at the end.
TEST_F(AnimatorTest, ThePlayersZoomCarriesOverToTheNextPlay) {
    open();
    press(Client::PlayId);
    QTest::keyClick(client()->player(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(objects().AnZoom, 2);
    press(Client::PlayId);
    EXPECT_EQ(client()->player()->zoom(), 2);
    frame.reset();
    EXPECT_TRUE(pz4test::hasLine(path("pz.ini"), "AnZoom=00002"));
}

// A file dropped on the animator is loaded as Load Script loads the file chosen.
TEST_F(AnimatorTest, AFileDroppedOnTheAnimatorIsLoadedAsItsScript) {
    open();
    dir.write("walk.scp", "0\n1\n");
    dir.write("run.scp", "2\n");
    const pz4test::DropResult r = pz4test::dropFiles(client(), {path("walk.scp"), path("run.scp")});
    EXPECT_TRUE(r.dropAccepted);
    ASSERT_NE(objects().scriptManager, nullptr);
    EXPECT_STREQ(objects().scriptManager->fileName.c_str(), path("walk.scp").c_str());
    EXPECT_EQ(prompts->dialogs.size(), 1u) << "only the Load before it asked";
    EXPECT_TRUE(messages().empty());

    // Refused drops keep the script; Load Script then opens on the dropped file.
    EXPECT_FALSE(pz4test::dropFiles(client(), {path("missing.scp")}).dropAccepted);
    // Text dropped on an edit types nothing into it.
    QMimeData digits;
    digits.setText(QStringLiteral("5"));
    for (int id : {Client::SpeedId, Client::FromId, Client::ToId}) {
        const std::string before = text(id);
        EXPECT_FALSE(pz4test::drop(edit(id), digits).dropAccepted) << id;
        EXPECT_EQ(text(id), before) << id;
    }
    EXPECT_STREQ(objects().scriptManager->fileName.c_str(), path("walk.scp").c_str());
    prompts->cancel();
    press(Client::LoadScriptId);
    EXPECT_EQ(prompts->dialogs.back().lastPath, path("walk.scp"));
}

TEST_F(AnimatorTest, PlayWhilePausedReplacesThePlayerWithARunningOne) {
    open();
    press(Client::PlayId);
    QPointer<TPz4AnimWin> first = client()->player();
    press(Client::StopId);
    press(Client::PlayId);
    pz4test::runDeferredDeletes();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(client()->player(), nullptr);
    EXPECT_FALSE(client()->player()->paused());
    EXPECT_FALSE(client()->paused());
    EXPECT_EQ(stopText(), QStringLiteral("Stop"));
}

TEST_F(AnimatorTest, ThePlayerClosedByTheUserResetsStop) {
    open();
    press(Client::PlayId);
    press(Client::StopId);
    client()->player()->move(250, 260);
    QCoreApplication::processEvents();
    client()->player()->close();
    EXPECT_EQ(client()->player(), nullptr);
    EXPECT_EQ(stopText(), QStringLiteral("Stop"));
    EXPECT_FALSE(client()->paused());
    EXPECT_EQ(objects().AnWX, 250);
    EXPECT_EQ(objects().AnWY, 260);
}

TEST_F(AnimatorTest, SaveWritesTheRangeAsOneAnimation) {
    open(3);
    edit(Client::FromId)->setText("001");
    prompts->answer(path("out.gif"), 2); // a typed extension gives way to the plug-in's
    press(Client::SaveId);
    EXPECT_TRUE(messages().empty());
    // Frame 1 brings its own palette, frame 2 gets the current one; only the
    // first record names the file.
    const std::vector<std::string> expected = {
        path("out.uif") + " 2 2 256 1001 200 200 1",
        "- 3 2 256 1002 64 64 2",
    };
    std::vector<std::string> log = {"SaveAnim 2"};
    log.insert(log.end(), expected.begin(), expected.end());
    EXPECT_EQ(saveLog(), log);
    EXPECT_EQ(readLines(path("out.uif")), expected);
    EXPECT_EQ(prompts->dialogs.back().filter, "all Files (*.*)|*.*|ui fixture (*.uif)|*.uif");
}

TEST_F(AnimatorTest, SaveNamesTheFilePathDotExtension) {
    open(1);
    const struct {
        const char* typed;
        const char* written;
    } cases[] = {{"a.pcx", "a.uif"}, {"b", "b.uif"}, {"c.tiff", "c.tiff.uif"}};
    for (const auto& c : cases) {
        prompts->answer(path(c.typed), 2);
        press(Client::SaveId);
        EXPECT_TRUE(dir.exists(c.written)) << c.typed;
    }
}

TEST_F(AnimatorTest, SaveRefusalsChangeNothing) {
    open(2);
    prompts->cancel();
    press(Client::SaveId);
    EXPECT_TRUE(messages().empty());
    prompts->answer(path("out"), 1);
    press(Client::SaveId);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Error: You must select a supported extension !"});
    EXPECT_TRUE(saveLog().empty());

    prompts->messages.clear();
    dir.write("pzuifix.cfg", "frames=2\nsaveanims=1\nsavefail=1\n");
    prompts->answer(path("out"), 2);
    press(Client::SaveId);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: Error saving frame(s) !"});
}

TEST_F(AnimatorTest, ManyPlayAndSavePressesHoldNothingBack) {
    open(4);
    for (int i = 0; i < 150; ++i) {
        press(Client::PlayId);
        prompts->answer(path("out"), 2);
        press(Client::SaveId);
        if (i % 10 == 0)
            pz4test::runDeferredDeletes();
    }
    pz4test::runDeferredDeletes();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(client()->findChildren<TPz4AnimWin*>().size(), 1u);
}

TEST_F(AnimatorTest, FilesOfThousandsOfFramesGetWiderRangeEdits) {
    open(1500);
    EXPECT_EQ(client()->frameDigits(), 4);
    EXPECT_EQ(edit(Client::FromId)->maxLength(), 4);
    EXPECT_EQ(text(Client::FromId), "0000");
    EXPECT_EQ(text(Client::ToId), "1499");
    type(Client::FromId, "1200");
    leave();
    type(Client::ToId, "99999");
    leave();
    EXPECT_EQ(text(Client::FromId), "1200");
    EXPECT_EQ(text(Client::ToId), "1499");
    press(Client::PlayId);
    ASSERT_NE(client()->player(), nullptr);
    EXPECT_EQ(client()->player()->frameCount(), 300);
    // Frame 1200 is 1 + 1200 % 4 = 1 pixel wide, 1203 is 4: all widths occur.
    EXPECT_EQ(client()->player()->maxWidth(), 4);

    prompts->answer(path("big"), 2);
    press(Client::SaveId);
    const auto log = saveLog();
    ASSERT_EQ(log.size(), 301u);
    EXPECT_EQ(log[0], "SaveAnim 300");
    EXPECT_EQ(log[1], path("big.uif") + " 1 2 256 2200 64 64 176"); // 1200 % 256 = 176
    EXPECT_EQ(log[300], "- 4 2 256 2499 200 200 219");              // 1499 % 256 = 219
}

TEST_F(AnimatorTest, AnimWithoutFramesLoadedSaysSo) {
    plugin();
    start();
    QTest::mouseClick(frame->findChild<QPushButton*>("105"), Qt::LeftButton);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: No Frames loaded !"});
    EXPECT_EQ(dlg()->animDlg(), nullptr);
}

TEST_F(AnimatorTest, AnimReplacesAnOpenAnimatorAndResetsTheRange) {
    open(8);
    QPointer<ToolDialog> first = dlg()->animDlg();
    first->move(300, 310);
    QCoreApplication::processEvents();
    objects().animFrom = 4;
    objects().animTo = 5;
    press(Client::PlayId);
    QPointer<TPz4AnimWin> player = client()->player();
    anim();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(player.isNull());
    EXPECT_EQ(objects().animFrom, 0);
    EXPECT_EQ(objects().animTo, 7);
    EXPECT_EQ(text(Client::ToId), "007");
    EXPECT_EQ(dlg()->animDlg()->pos(), QPoint(300, 310));
}

// Load closes them before the file goes; only Exit stores the animator's place.
TEST_F(AnimatorTest, ExitAndLoadCloseTheAnimatorAndItsPlayer) {
    for (bool byExit : {true, false}) {
        open();
        press(Client::PlayId);
        QPointer<TPz4AnimWin> player = client()->player();
        QPointer<ToolDialog> a = dlg()->animDlg();
        a->move(320, 330);
        QCoreApplication::processEvents();
        if (byExit)
            press(Client::ExitId);
        else
            load("run.uif");
        EXPECT_EQ(dlg()->animDlg(), nullptr) << byExit;
        EXPECT_FALSE(player && player->isVisible()) << byExit;
        EXPECT_FALSE(player && player->timerActive()) << byExit;
        if (byExit) {
            EXPECT_EQ(objects().AnX, 320);
            EXPECT_EQ(objects().AnY, 330);
        }
        pz4test::runDeferredDeletes();
        EXPECT_TRUE(a.isNull()) << byExit;
        EXPECT_TRUE(player.isNull()) << byExit;
        frame.reset();
        pz4test::runDeferredDeletes();
    }
}

// Both open where they were; open at the end, they record where they are.
TEST_F(AnimatorTest, AnimatorAndPlayerOpenWhereTheyWereAndRecordTheirPlaces) {
    dir.write("pz.ini", std::string("AnX=00140\r\nAnY=00150\r\nAnWX=00160\r\nAnWY=00170\r\n"));
    open();
    EXPECT_EQ(dlg()->animDlg()->pos(), QPoint(140, 150));
    press(Client::PlayId);
    EXPECT_EQ(client()->player()->pos(), QPoint(160, 170));
    dlg()->animDlg()->move(410, 420);
    client()->player()->move(430, 440);
    QCoreApplication::processEvents();
    frame.reset();
    for (const char* l : {"AnX=00410", "AnY=00420", "AnWX=00430", "AnWY=00440"})
        EXPECT_TRUE(pz4test::hasLine(path("pz.ini"), l)) << l;
}

// Frames as a plug-in hands them out: width x height bytes, row 0 first.
struct Pixels {
    int width;
    int height;
    std::vector<unsigned char> bytes;
};

// Writes `frames` as one GIF animation through the GIF plug-in of the working directory.
void writeGif(const std::string& name, std::vector<Pixels> frames) {
    cDllManager plugins;
    std::vector<unsigned char> palette(768);
    for (int k = 0; k < 256; ++k)
        palette[3 * k] = static_cast<unsigned char>(k);
    cSaveChain chain(cSaveChain::Kind::Animation, palette.data());
    for (Pixels& f : frames)
        chain.Append(name.c_str(), f.bytes.data(), palette.data(), f.width, f.height, 256, 10);
    ASSERT_TRUE(plugins.SaveAnimWith("gif", chain.First()));
}

std::vector<unsigned char> lock(cDllManager& plugins, int frame) {
    const std::optional<LockedFrame> f = plugins.LockFrame(frame);
    if (!f)
        return {};
    return std::vector<unsigned char>(f->pixels, f->pixels + f->width * f->height);
}

TEST_F(AnimatorTest, MirroredStepsAreSavedMirroredThroughTheGifPlugIn) {
    dir.addFormat("pzgif");
    // Frame 0: rows 1 2 3 / 4 5 6; frame 1: rows 7 8 9 / 10 11 12.
    const std::vector<unsigned char> zero = {1, 2, 3, 4, 5, 6};
    const std::vector<unsigned char> one = {7, 8, 9, 10, 11, 12};
    writeGif(path("walk.gif"), {{3, 2, zero}, {3, 2, one}});
    start();
    load("walk.gif");
    anim();
    script(true);
    loadScript("walk.scp", "0\n1 MIRROR_X\n0 MIRROR_Y\n1 MIRROR_X MIRROR_Y");
    prompts->answer(path("out"), 2);
    press(Client::SaveId);
    EXPECT_TRUE(messages().empty());

    // The plug-in's own buffers are as they were.
    EXPECT_EQ(lock(*objects().dllManager, 0), zero);
    EXPECT_EQ(lock(*objects().dllManager, 1), one);

    cDllManager reader;
    ASSERT_TRUE(reader.OpenObject(path("out.gif").c_str()));
    ASSERT_EQ(reader.FrameCount(), 4);
    const std::vector<std::vector<unsigned char>> expected = {
        {1, 2, 3, 4, 5, 6},    // as it is
        {9, 8, 7, 12, 11, 10}, // each row reversed
        {4, 5, 6, 1, 2, 3},    // rows in reverse order
        {12, 11, 10, 9, 8, 7}, // both
    };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(lock(reader, i), expected[static_cast<size_t>(i)]) << "step " << i;
    reader.CloseObject();
}

} // namespace
