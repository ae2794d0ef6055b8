#include "UiTestSupport.h"

#include "TempWorkDir.h"
#include "app/MainDlg.h"
#include "app/ObjectManager.h"
#include "app/SDIDecFrame.h"
#include "frames/ListDlg.h"
#include "palette/PALDlg.h"
#include "palette/PALDlgClient.h"
#include "palette/PalManager.h"
#include "palette/TRNDlg.h"
#include "palette/TRNDlgClient.h"
#include "palette/TRNManager.h"
#include "platform/FileDrop.h"
#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"

#include <QDropEvent>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using pz4test::drop;
using pz4test::DropResult;

std::unique_ptr<QMimeData> urls(const QList<QUrl>& list) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(list);
    return data;
}

QUrl fileUrl(const std::filesystem::path& p) {
    return QUrl::fromLocalFile(QString::fromStdString(p.string()));
}

class FileDropTest : public ::testing::Test {
protected:
    void SetUp() override { pz4test::app(); }

    pz4test::TempWorkDir dir;
};

TEST_F(FileDropTest, TheFirstExistingLocalFileOfADropIsTheDroppedFile) {
    dir.write("a.uif", std::string("a"));
    dir.write("b.uif", std::string("b"));
    std::filesystem::create_directory(dir.path() / "folder");
    const QUrl a = fileUrl(dir.path() / "a.uif");
    const QUrl b = fileUrl(dir.path() / "b.uif");
    const QUrl folder = fileUrl(dir.path() / "folder");
    const QUrl missing = fileUrl(dir.path() / "gone.uif");
    const QUrl web(QStringLiteral("https://example.org/a.uif"));
    const std::string aPath = (dir.path() / "a.uif").string();
    const std::string bPath = (dir.path() / "b.uif").string();

    struct Case {
        const char* label;
        QList<QUrl> urls;
        std::optional<std::string> file;
    } cases[] = {
        {"one file", {a}, aPath},
        {"several files", {b, a}, bPath},
        {"web address first", {web, a}, aPath},
        {"folder first", {folder, b}, bPath},
        {"missing file first", {missing, a}, aPath},
        {"folder only", {folder}, std::nullopt},
        {"web address only", {web}, std::nullopt},
        {"missing file only", {missing}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DroppedFile(urls(c.urls).get()), c.file) << c.label;

    QMimeData text;
    text.setText(QString::fromStdString(aPath));
    EXPECT_EQ(DroppedFile(&text), std::nullopt) << "a path as text is no file";
    EXPECT_EQ(DroppedFile(nullptr), std::nullopt);
}

TEST_F(FileDropTest, ADropLoadsAfterTheDropAndPointsTheLoadDialogAtTheFile) {
    dir.write("walk.pal", std::string(768, '\1'));
    QWidget window;
    FileDialogState state{"/old/place.pal", "/old", 2};
    std::vector<std::string> loaded;
    new FileDropTarget(&window, &state, [&](const std::string& p) { loaded.push_back(p); });
    EXPECT_TRUE(window.acceptDrops());

    const std::string path = (dir.path() / "walk.pal").string();
    const auto data = urls({fileUrl(dir.path() / "walk.pal")});
    const DropResult r = drop(&window, *data);
    EXPECT_TRUE(r.enterAccepted);
    EXPECT_TRUE(r.dropAccepted);
    EXPECT_EQ(loaded, std::vector<std::string>{path});
    EXPECT_EQ(state.path, path);
    EXPECT_EQ(state.folder, dir.path().string());
    EXPECT_EQ(state.entry, 2) << "the filter the user chose stays chosen";

    // Refused drops neither load nor move the dialog.
    const auto web = urls({QUrl(QStringLiteral("https://example.org/x.pal"))});
    const DropResult refused = drop(&window, *web);
    EXPECT_FALSE(refused.enterAccepted);
    EXPECT_FALSE(refused.dropAccepted);
    EXPECT_EQ(loaded.size(), 1u);
    EXPECT_EQ(state.path, path);
}

TEST_F(FileDropTest, AWindowGoneBeforeTheQueuedLoadLoadsNothing) {
    dir.write("walk.pal", std::string(768, '\1'));
    int loads = 0;
    auto window = std::make_unique<QWidget>();
    new FileDropTarget(window.get(), nullptr, [&](const std::string&) { ++loads; });
    const auto data = urls({fileUrl(dir.path() / "walk.pal")});
    QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &dropped);
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_EQ(loads, 0);
}

class MainWindowDropTest : public pz4test::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        dir.addFixture("pzuifix");
        dir.write("pzuifix.cfg", std::string());
        start();
    }

    QUrl file(const std::string& name) const {
        dir.write(name, std::string());
        return fileUrl(dir.path() / name);
    }
    DropResult dropOnMain(const QList<QUrl>& list) {
        const auto data = urls(list);
        const DropResult r = drop(dlg(), *data);
        pz4test::runDeferredDeletes();
        return r;
    }
    int rows() const {
        return dlg()
            ->listDlg()
            ->findChild<QListView*>(QString::number(TPz4ListDlg::ListId))
            ->model()
            ->rowCount();
    }
};

TEST_F(MainWindowDropTest, ADroppedFileIsLoadedAsTheLoadDialogWouldLoadIt) {
    const DropResult r = dropOnMain({file("walk.uif")});
    EXPECT_TRUE(r.enterAccepted);
    EXPECT_TRUE(r.dropAccepted);
    EXPECT_TRUE(prompts->dialogs.empty()) << "a drop asks nothing";
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(frame->windowTitle(),
              QStringLiteral("Pz4.0 - [") + QString::fromStdString(path("walk.uif")) + "]");
    ASSERT_NE(dlg()->listDlg(), nullptr);
    EXPECT_EQ(dlg()->listDlg()->pos(), QPoint(100, 100));
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(dlg()->objectManager()->fileName.str(), path("walk.uif"));

    // The Load dialog opens on the dropped file.
    prompts->cancel();
    QTest::mouseClick(frame->findChild<QPushButton*>(QString::number(TPz4MainDlg::LoadId)),
                      Qt::LeftButton);
    ASSERT_EQ(prompts->dialogs.size(), 1u);
    EXPECT_EQ(prompts->dialogs[0].lastPath, path("walk.uif"));
}

TEST_F(MainWindowDropTest, OfSeveralDroppedFilesTheFirstIsLoaded) {
    dir.write("pzuifix.cfg", std::string("frames=5\n"));
    const QUrl run = file("run.uif");
    const QUrl walk = file("walk.uif");
    dropOnMain({run, walk});
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(dlg()->objectManager()->fileName.str(), path("run.uif"));
    EXPECT_EQ(pz4test::readLines(path("pzuifix.log")),
              std::vector<std::string>{"LoadObject " + path("run.uif")});
    ASSERT_NE(dlg()->listDlg(), nullptr);
    EXPECT_EQ(rows(), 5);
}

TEST_F(MainWindowDropTest, AnUnknownFormatDroppedClosesTheLoadedFileWithTheLoadMessage) {
    dropOnMain({file("walk.uif")});
    QPointer<TPz4ListDlg> list = dlg()->listDlg();
    ASSERT_TRUE(list);

    const DropResult r = dropOnMain({file("walk.xyz")});
    EXPECT_TRUE(r.dropAccepted) << "any file could have been chosen in the dialog";
    EXPECT_EQ(messages(), std::vector<std::string>{"Error during loading: Unknown Format !"});
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].owner, dlg());
    EXPECT_FALSE(list);
    EXPECT_EQ(dlg()->listDlg(), nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Pz4.0"));
    EXPECT_TRUE(dlg()->objectManager()->fileName.empty());
}

TEST_F(MainWindowDropTest, AnythingButAFileDroppedChangesNothing) {
    dropOnMain({file("walk.uif")});
    QPointer<TPz4ListDlg> list = dlg()->listDlg();
    const QString title = frame->windowTitle();
    std::filesystem::create_directory(dir.path() / "folder");

    const QList<QUrl> refused[] = {
        {QUrl(QStringLiteral("https://example.org/run.uif"))},
        {fileUrl(dir.path() / "folder")},
        {fileUrl(dir.path() / "gone.uif")},
        {},
    };
    for (const QList<QUrl>& r : refused) {
        const DropResult result = dropOnMain(r);
        EXPECT_FALSE(result.enterAccepted);
        EXPECT_FALSE(result.dropAccepted);
    }
    QMimeData text;
    text.setText(QString::fromStdString(path("run.uif")));
    EXPECT_FALSE(drop(dlg(), text).dropAccepted);

    EXPECT_TRUE(list);
    EXPECT_EQ(dlg()->listDlg(), list.data());
    EXPECT_EQ(frame->windowTitle(), title);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(pz4test::readLines(path("pzuifix.log")).size(), 1u);
}

// The palette and translation windows take a dropped file as their Load takes
// the file chosen; their own Load dialogs then open on it.
class PaletteDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        pz4test::app();
        parent = std::make_unique<QWidget>();
        objects = std::make_unique<cObjectManager>();
    }
    void TearDown() override {
        delete pal.data();
        delete trn.data();
        objects.reset();
        parent.reset();
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }
    QString name(QWidget* client, int id) const {
        return client->findChild<QLabel*>(QString::number(id))->text();
    }

    pz4test::TempWorkDir dir;
    ScriptedPrompts prompts;
    FileDialogState paletteState;
    FileDialogState trnState;
    std::unique_ptr<QWidget> parent;
    std::unique_ptr<cObjectManager> objects;
    QPointer<TPz4PALDlg> pal;
    QPointer<TPz4TRNDlg> trn;
};

TEST_F(PaletteDropTest, APaletteDroppedOnThePaletteWindowBecomesCurrent) {
    std::string bytes(768, '\0');
    bytes[3 * 37] = '\x7f';
    dir.write("ramp.pal", bytes);
    dir.write("other.pal", std::string(768, '\1'));
    pal = new TPz4PALDlg(parent.get(), objects.get(), prompts, paletteState);
    pal->show();
    TPz4PALDlgClient* client = pal->client();

    const auto data = urls({fileUrl(dir.path() / "ramp.pal"), fileUrl(dir.path() / "other.pal")});
    const DropResult r = drop(client, *data);
    EXPECT_TRUE(r.dropAccepted);
    ASSERT_NE(objects->palManager->GetName(), nullptr);
    EXPECT_EQ(std::string(objects->palManager->GetName()), path("ramp.pal"));
    EXPECT_EQ(objects->palManager->colors[3 * 37], 0x7f);
    EXPECT_EQ(name(client, TPz4PALDlgClient::NameId), QString::fromStdString(path("ramp.pal")));
    EXPECT_TRUE(prompts.dialogs.empty());
    EXPECT_TRUE(prompts.messages.empty());

    // Refused: the palette stays; Load then opens on the dropped file.
    const auto web = urls({QUrl(QStringLiteral("https://example.org/x.pal"))});
    EXPECT_FALSE(drop(client, *web).dropAccepted);
    EXPECT_EQ(std::string(objects->palManager->GetName()), path("ramp.pal"));
    prompts.cancel();
    client->Load();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].lastPath, path("ramp.pal"));
    EXPECT_TRUE(trnState.path.empty());
}

TEST_F(PaletteDropTest, ATableDroppedOnTheTranslationWindowBecomesCurrent) {
    dir.write("all255.trn", std::string(256, '\xff'));
    trn = new TPz4TRNDlg(parent.get(), objects.get(), prompts, trnState);
    trn->show();
    TPz4TRNDlgClient* client = trn->client();

    const auto data = urls({fileUrl(dir.path() / "all255.trn")});
    EXPECT_TRUE(drop(client, *data).dropAccepted);
    ASSERT_NE(objects->trnManager->GetName(), nullptr);
    EXPECT_EQ(std::string(objects->trnManager->GetName()), path("all255.trn"));
    EXPECT_EQ(objects->trnManager->Translate(3), 255);
    EXPECT_EQ(name(client, TPz4TRNDlgClient::NameId), QString::fromStdString(path("all255.trn")));
    EXPECT_EQ(trnState.path, path("all255.trn"));
    EXPECT_TRUE(paletteState.path.empty());

    QMimeData text;
    text.setText(QStringLiteral("all255.trn"));
    EXPECT_FALSE(drop(client, text).dropAccepted);
    EXPECT_EQ(std::string(objects->trnManager->GetName()), path("all255.trn"));
    EXPECT_TRUE(prompts.messages.empty());
}

} // namespace
