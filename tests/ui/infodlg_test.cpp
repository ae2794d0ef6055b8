#include "UiTestSupport.h"

#include "context/ObjectManager.h"
#include "platform/DialogUnits.h"
#include "plugins/ui/InfoDlg.h"

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {

using pz4test::libraryFileName;

class InfoDlgTest : public pz4test::ToolWindowFixture {
protected:
    void TearDown() override {
        delete dlg.data();
        objects.reset();
    }

    void open() {
        objects = std::make_unique<cObjectManager>();
        dlg = new TPz4InfoDlg(parent.get(), objects.get());
        dlg->show();
        dlg->FillPluginList();
    }
    QListWidget* list() const {
        return dlg->findChild<QListWidget*>(QString::number(TPz4InfoDlg::ListId));
    }
    QStringList lines() const {
        QStringList l;
        for (int i = 0; i < list()->count(); ++i)
            l << list()->item(i)->text();
        return l;
    }
    QString text(int id) const { return dlg->findChild<QLabel*>(QString::number(id))->text(); }
    QStringList details() const {
        return {text(TPz4InfoDlg::AuthorId), text(TPz4InfoDlg::VersionId),
                text(TPz4InfoDlg::SupportsId)};
    }
    void clickRow(int row) {
        const QRect r = list()->visualItemRect(list()->item(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    }
    void clickButton(int id) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(QString::number(id)), Qt::LeftButton);
    }

    std::unique_ptr<cObjectManager> objects;
    QPointer<TPz4InfoDlg> dlg;
};

// Lines follow the start-up scan, which orders names as a case-insensitive file
// system lists them: "pzC" comes between "pzb" and "pzd", not first.
TEST_F(InfoDlgTest, ListsPlugInsInScanOrderAndShowsWhatTheSelectedOneReported) {
    dir.addFixture("pzfull", libraryFileName("pzb"));
    dir.write("pzb.cfg", "author=A. Writer\nversion=2.5\ndescription=Sprite banks\n");
    dir.addFixture("pznoinfo", libraryFileName("pzC"));
    dir.write(libraryFileName("pzd"), "not a library");
    open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("some specs..."));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(dlg->size(), DialogUnits(QFont(QStringLiteral("Arial"), 8)).size(312, 146));
    EXPECT_FALSE(dlg->findChild<QLabel*>("800")->pixmap().isNull());
    ASSERT_EQ(lines(), QStringList({QString::fromStdString(libraryFileName("pzb")),
                                    QString::fromStdString(libraryFileName("pzC")),
                                    QString::fromStdString(libraryFileName("pzd"))}));
    EXPECT_EQ(details(), QStringList({"", "", ""})); // empty until the first selection

    struct Case {
        int row;
        QStringList shown;
    } cases[] = {
        {0, {"A. Writer", "2.5", "Sprite banks"}},
        // Without the information exports: the plug-in manager's stand-ins.
        {1, {"unknown", "?", "unknown"}},
        // A library that could not be loaded has no texts at all.
        {2, {"", "", ""}},
        {0, {"A. Writer", "2.5", "Sprite banks"}},
    };
    for (const Case& c : cases) {
        clickRow(c.row);
        EXPECT_EQ(details(), c.shown) << c.row;
    }

    // More Info, Enter and Escape change nothing.
    clickButton(TPz4InfoDlg::MoreInfoId);
    for (QWidget* target : {static_cast<QWidget*>(list()), static_cast<QWidget*>(dlg.data())})
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    pz4test::runDeferredDeletes();
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(details(), cases[0].shown);
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_TRUE(parent->messages.empty());
}

TEST_F(InfoDlgTest, EveryWayOfClosingStoresThePositionAndNotifiesOnce) {
    struct Case {
        const char* what;
        bool byExit;
        QPoint place;
    } cases[] = {
        {"Exit", true, {120, 130}},
        // What the system menu's Close and Alt+F4 deliver.
        {"close request", false, {140, 150}},
    };
    for (const Case& c : cases) {
        parent->messages.clear();
        open();
        dlg->move(c.place);
        if (c.byExit)
            clickButton(TPz4InfoDlg::ExitId);
        else
            dlg->windowHandle()->close();
        dlg->Close();
        EXPECT_EQ(parent->messages, std::vector<int>{closing::InfoClosed}) << c.what;
        EXPECT_EQ(QPoint(objects->InX, objects->InY), c.place) << c.what;
        pz4test::runDeferredDeletes();
        EXPECT_FALSE(dlg) << c.what;
    }
}

} // namespace
