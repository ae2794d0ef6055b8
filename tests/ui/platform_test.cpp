#include "UiTestSupport.h"

#include "platform/DialogUnits.h"
#include "platform/QtPrompts.h"
#include "platform/ToolDialog.h"
#include "platform/WindowPlacement.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(Filter, ParsesDescriptionPatternPairs) {
    struct Case {
        std::string filter;
        std::vector<FilterEntry> expected;
    } cases[] = {
        {"all Files (*.*)|*.*", {{"all Files (*.*)", {"*.*"}}}},
        {"all Files (*.*)|*.*|Sprites (*.spr)|*.spr",
         {{"all Files (*.*)", {"*.*"}}, {"Sprites (*.spr)", {"*.spr"}}}},
        {"Pictures|*.bmp;*.pcx", {{"Pictures", {"*.bmp", "*.pcx"}}}},
        // An unloadable plug-in contributes empty texts but keeps its place.
        {"all Files (*.*)|*.*| (*.)|*.", {{"all Files (*.*)", {"*.*"}}, {" (*.)", {"*."}}}},
        {"dangling", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const auto got = ParseFilter(c.filter);
        ASSERT_EQ(got.size(), c.expected.size()) << c.filter;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].description, c.expected[i].description) << c.filter;
            EXPECT_EQ(got[i].patterns, c.expected[i].patterns) << c.filter;
        }
    }
}

TEST(QtDialogs, AllFilesMatchesNamesWithoutADot) {
    pz4test::app();
    const std::string filter = "all Files (*.*)|*.*|Sprites (*.spr)|*.spr";
    // What the dialog's file list filters with, for each entry selected.
    auto patternsFor = [&](int entry) {
        FileDialogState state;
        state.entry = entry;
        auto dialog = MakeFileDialog(nullptr, filter, state, false);
        const auto* model = dialog->findChild<QFileSystemModel*>();
        return model ? model->nameFilters() : QStringList();
    };
    const QStringList all = patternsFor(1);
    const QStringList spr = patternsFor(2);
    ASSERT_FALSE(all.isEmpty());
    for (const char* name : {"README", "walk.spr", "a.b.c"})
        EXPECT_TRUE(QDir::match(all, QString::fromLatin1(name))) << name;
    EXPECT_TRUE(QDir::match(spr, QStringLiteral("WALK.SPR")));
    EXPECT_FALSE(QDir::match(spr, QStringLiteral("README")));
}

TEST(QtDialogs, ReopenOnTheRememberedEntryAndFolderAndReportTheChosenEntry) {
    pz4test::app();
    const std::string filter = "all Files (*.*)|*.*|A (*.aaa)|*.aaa|A (*.aaa)|*.aaa";
    FileDialogState state;
    state.entry = 3;
    state.folder = QDir::tempPath().toStdString();
    auto dialog = MakeFileDialog(nullptr, filter, state, true);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(QDir(dialog->directory()).absolutePath(), QDir(QDir::tempPath()).absolutePath());
    // Two entries with the same text: the position, not the text, is the answer.
    EXPECT_EQ(ChoiceOf(*dialog).entry, 3);
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->itemText(0).trimmed(), QStringLiteral("all Files (*.*)"));
    combo->setCurrentIndex(1);
    EXPECT_EQ(ChoiceOf(*dialog).entry, 2);

    auto open = MakeFileDialog(nullptr, filter, FileDialogState{}, false);
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(ChoiceOf(*open).entry, 1);
}

TEST(DialogUnits, MapsWithTheBaseUnitsRounded) {
    const DialogUnits du(6, 13);
    struct Case {
        int units, x, y;
    } cases[] = {{0, 0, 0}, {4, 6, 7}, {30, 45, 49}, {14, 21, 23}, {261, 392, 424}, {-3, -5, -5}};
    for (const Case& c : cases) {
        EXPECT_EQ(du.x(c.units), c.x) << c.units;
        EXPECT_EQ(du.y(c.units), c.y) << c.units;
    }
    EXPECT_EQ(du.rect(4, 4, 30, 14), QRect(6, 7, 45, 23));
}

TEST(DialogUnits, FollowTheFont) {
    pz4test::app();
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const DialogUnits a(small), b(large);
    EXPECT_GT(a.baseX(), 0);
    EXPECT_EQ(a.baseY(), QFontMetrics(small).height());
    EXPECT_GT(b.baseX(), a.baseX());
    EXPECT_GT(b.baseY(), a.baseY());
}

TEST(WindowPlacement, KeepsThePositionLastMovedToInTheNormalState) {
    pz4test::app();
    QWidget window;
    window.resize(120, 80);
    PositionTracker tracker(&window);
    PlaceWindow(&window, QPoint(40, 50));
    window.show();
    EXPECT_EQ(tracker.position(), QPoint(40, 50));
    EXPECT_EQ(window.size(), QSize(120, 80));

    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(tracker.position(), QPoint(40, 50));
    window.showNormal();
    PlaceWindow(&window, QPoint(70, 90));
    QCoreApplication::processEvents();
    EXPECT_EQ(tracker.position(), QPoint(70, 90));
    window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(tracker.position(), QPoint(70, 90));
}

// Under a window manager a window resized after it got its native window but
// before it was framed is positioned by its client area: it then lands a
// frame's width and caption's height off, and every save and restore moves it
// further. A placed window must therefore reach its first show with the size
// it will be shown at, whatever decides that size.
TEST(WindowPlacement, APlacedWindowIsShownAtTheSizeItWasPlacedWith) {
    pz4test::app();
    const Qt::WindowFlags toolWindow =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    struct Case {
        const char* name;
        std::function<void(QWidget&)> build;
        QSize fixedSize; // empty: whatever the contents ask for
    } cases[] = {
        {"sized to its client by a layout",
         [](QWidget& w) {
             auto* layout = new QVBoxLayout(&w);
             layout->setContentsMargins(0, 0, 0, 0);
             layout->setSizeConstraint(QLayout::SetFixedSize);
             layout->addWidget(new QPushButton(QStringLiteral("client")));
         },
         QSize()},
        {"children placed by hand, never sized",
         [](QWidget& w) {
             (new QPushButton(QStringLiteral("a"), &w))->setGeometry(6, 7, 90, 23);
             (new QPushButton(QStringLiteral("b"), &w))->setGeometry(6, 200, 150, 23);
         },
         QSize()},
        {"sized by hand", [](QWidget& w) { w.resize(333, 222); }, QSize(333, 222)},
        {"sized by hand, children outside",
         [](QWidget& w) {
             (new QPushButton(QStringLiteral("a"), &w))->setGeometry(300, 300, 90, 23);
             w.resize(120, 80);
         },
         QSize(120, 80)},
    };
    for (const Case& c : cases) {
        auto window = std::make_unique<QWidget>(nullptr, toolWindow);
        c.build(*window);
        const PositionTracker tracker(window.get());
        PlaceWindow(window.get(), QPoint(23, 72));
        const QSize placed = window->size();
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(window->size(), placed) << c.name;
        if (c.fixedSize.isValid()) {
            EXPECT_EQ(window->size(), c.fixedSize) << c.name;
        }
        EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(23, 72)) << c.name;
        EXPECT_EQ(tracker.position(), QPoint(23, 72)) << c.name;
    }
}

// A window placed before it is given its size keeps the size it is given.
TEST(WindowPlacement, ASizeGivenAfterPlacingStands) {
    pz4test::app();
    QWidget window;
    (new QPushButton(QStringLiteral("a"), &window))->setGeometry(6, 7, 90, 23);
    PlaceWindow(&window, QPoint(40, 30));
    window.resize(300, 250);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(300, 250));
    EXPECT_EQ(window.pos(), QPoint(40, 30));
}

// A tool window whose position lives in two fields of its owner.
class KeptWindow : public ToolDialog {
public:
    KeptWindow(QWidget* parent, int& x, int& y, bool placeThere, OpenAtEnd atEnd)
        : ToolDialog(parent, closing::ListClosed, QStringLiteral("kept")) {
        resize(100, 60);
        keepPositionIn(x, y, placeThere, atEnd);
    }
};

TEST(ToolDialog, KeepsItsPositionInItsOwnersFields) {
    pz4test::app();
    using End = ToolDialog::OpenAtEnd;
    struct Case {
        const char* what;
        bool placeThere;
        End atEnd;
        bool closeFirst;
        QPoint opensAt; // where the window stands before it is moved
        QPoint kept;    // the fields once the window is gone
    } const cases[] = {
        {"closed", true, End::StoresPosition, true, QPoint(30, 40), QPoint(150, 160)},
        {"destroyed open", true, End::StoresPosition, false, QPoint(30, 40), QPoint(150, 160)},
        {"destroyed open, keeping the saved place", true, End::KeepsSavedPosition, false,
         QPoint(30, 40), QPoint(30, 40)},
        {"closed, keeping the saved place when open at the end", true, End::KeepsSavedPosition,
         true, QPoint(30, 40), QPoint(150, 160)},
        {"not placed", false, End::StoresPosition, true, QPoint(0, 0), QPoint(150, 160)},
    };
    for (const Case& c : cases) {
        pz4test::ClosingRecorder owner;
        int x = 30, y = 40;
        QPointer<KeptWindow> window = new KeptWindow(&owner, x, y, c.placeThere, c.atEnd);
        EXPECT_EQ(window->pos(), c.opensAt) << c.what;
        window->show();
        window->move(150, 160);
        QCoreApplication::processEvents();
        if (c.closeFirst) {
            window->Close();
            EXPECT_EQ(owner.messages, std::vector<int>{closing::ListClosed}) << c.what;
        }
        delete window.data();
        pz4test::runDeferredDeletes();
        EXPECT_EQ(QPoint(x, y), c.kept) << c.what;
    }
}

} // namespace
