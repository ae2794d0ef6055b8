#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "frames/ui/ListDlg.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"
#include "palette/ui/PALDlg.h"
#include "palette/ui/PALDlgClient.h"
#include "palette/ui/TRNDlg.h"
#include "palette/ui/TRNDlgClient.h"
#include "platform/FileDrop.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>

namespace {

using pz4test::drop;
using pz4test::dropFiles;
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
        plugin();
        start();
    }

    // Drops these files, made empty unless they exist, on the main window.
    DropResult dropOnMain(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& n : names) {
            if (!dir.exists(n))
                dir.write(n, std::string());
            paths.push_back(path(n));
        }
        const DropResult r = dropFiles(dlg(), paths);
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

// Of several files the first is loaded, as the Load dialog would load it.
TEST_F(MainWindowDropTest, ADroppedFileIsLoadedAsTheLoadDialogWouldLoadIt) {
    dir.write("pzuifix.cfg", std::string("frames=5\n"));
    const DropResult r = dropOnMain({"run.uif", "walk.uif"});
    EXPECT_TRUE(r.enterAccepted);
    EXPECT_TRUE(r.dropAccepted);
    EXPECT_TRUE(prompts->dialogs.empty()) << "a drop asks nothing";
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(frame->windowTitle(),
              QStringLiteral("Pz4.0 - [") + QString::fromStdString(path("run.uif")) + "]");
    EXPECT_EQ(pz4test::readLines(path("pzuifix.log")),
              std::vector<std::string>{"LoadObject " + path("run.uif")});
    ASSERT_NE(dlg()->listDlg(), nullptr);
    EXPECT_EQ(dlg()->listDlg()->pos(), QPoint(100, 100));
    EXPECT_EQ(rows(), 5);
    EXPECT_EQ(dlg()->objectManager()->fileName.str(), path("run.uif"));

    // The Load dialog opens on the dropped file.
    prompts->cancel();
    QTest::mouseClick(frame->findChild<QPushButton*>(QString::number(TPz4MainDlg::LoadId)),
                      Qt::LeftButton);
    ASSERT_EQ(prompts->dialogs.size(), 1u);
    EXPECT_EQ(prompts->dialogs[0].lastPath, path("run.uif"));
}

TEST_F(MainWindowDropTest, AnUnknownFormatDroppedClosesTheLoadedFileWithTheLoadMessage) {
    dropOnMain({"walk.uif"});
    QPointer<TPz4ListDlg> list = dlg()->listDlg();
    ASSERT_TRUE(list);

    const DropResult r = dropOnMain({"walk.xyz"});
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
    dropOnMain({"walk.uif"});
    QPointer<TPz4ListDlg> list = dlg()->listDlg();
    const QString title = frame->windowTitle();

    // Which drops hold no file is DroppedFile's table's; here one of each kind of data.
    const auto web = urls({QUrl(QStringLiteral("https://example.org/run.uif"))});
    const DropResult result = drop(dlg(), *web);
    EXPECT_FALSE(result.enterAccepted);
    EXPECT_FALSE(result.dropAccepted);
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
class PaletteDropTest : public pz4test::ToolWindowFixture {
protected:
    void SetUp() override {
        ToolWindowFixture::SetUp();
        objects = std::make_unique<cObjectManager>();
    }
    void TearDown() override {
        delete pal.data();
        delete trn.data();
        objects.reset();
    }
    QString name(QWidget* client, int id) const {
        return client->findChild<QLabel*>(QString::number(id))->text();
    }

    ScriptedPrompts prompts;
    FileDialogState paletteState;
    FileDialogState trnState;
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

    EXPECT_TRUE(dropFiles(client, {path("ramp.pal"), path("other.pal")}).dropAccepted);
    ASSERT_NE(objects->palManager->GetName(), nullptr);
    EXPECT_EQ(std::string(objects->palManager->GetName()), path("ramp.pal"));
    EXPECT_EQ(objects->palManager->colors[3 * 37], 0x7f);
    EXPECT_EQ(name(client, TPz4PALDlgClient::NameId), QString::fromStdString(path("ramp.pal")));
    EXPECT_TRUE(prompts.dialogs.empty());
    EXPECT_TRUE(prompts.messages.empty());

    // Refused: the palette stays; Load then opens on the dropped file.
    EXPECT_FALSE(dropFiles(client, {path("gone.pal")}).dropAccepted);
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
    trnState.entry = 2;

    const DropResult r = dropFiles(client, {path("all255.trn")});
    EXPECT_TRUE(r.enterAccepted);
    EXPECT_TRUE(r.dropAccepted);
    ASSERT_NE(objects->trnManager->GetName(), nullptr);
    EXPECT_EQ(std::string(objects->trnManager->GetName()), path("all255.trn"));
    EXPECT_EQ(objects->trnManager->Translate(3), 255);
    EXPECT_EQ(name(client, TPz4TRNDlgClient::NameId), QString::fromStdString(path("all255.trn")));
    EXPECT_EQ(trnState.path, path("all255.trn"));
    EXPECT_EQ(trnState.folder, dir.path().string());
    EXPECT_EQ(trnState.entry, 2) << "the filter the user chose stays chosen";
    EXPECT_TRUE(paletteState.path.empty());

    QMimeData text;
    text.setText(QStringLiteral("all255.trn"));
    EXPECT_FALSE(drop(client, text).dropAccepted);
    EXPECT_EQ(std::string(objects->trnManager->GetName()), path("all255.trn"));
    EXPECT_TRUE(prompts.messages.empty());
}

} // namespace
