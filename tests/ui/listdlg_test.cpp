#include "UiTestSupport.h"

#include "TempWorkDir.h"
#include "context/ObjectManager.h"
#include "frames/IntList.h"
#include "frames/ui/ListDlg.h"
#include "platform/DialogUnits.h"

#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Stands in for the main window: records the closing notifications it receives.
class ListDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        pz4test::app();
        parent = std::make_unique<pz4test::ClosingRecorder>();
        objects = std::make_unique<cObjectManager>();
        dlg = new TPz4ListDlg(parent.get(), objects.get());
        dlg->show();
    }
    void TearDown() override {
        delete dlg.data();
        objects.reset();
    }

    QListView* list() const {
        return dlg->findChild<QListView*>(QString::number(TPz4ListDlg::ListId));
    }
    int rows() const { return list()->model()->rowCount(); }
    QString label(int row) const { return list()->model()->index(row, 0).data().toString(); }
    QString countText() const {
        return dlg->findChild<QLabel*>(QString::number(TPz4ListDlg::CountId))->text();
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QListView* l = list();
        const QModelIndex index = l->model()->index(row, 0);
        l->scrollTo(index);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, modifiers, l->visualRect(index).center());
    }
    std::vector<int> selection() const {
        std::vector<int> frames;
        const std::unique_ptr<cIntList> s = dlg->GetSelection();
        if (s) {
            for (int i = 0; i <= s->LastIndex(); ++i)
                frames.push_back(s->Get(i));
        }
        return frames;
    }

    pz4test::TempWorkDir dir; // no plug-ins, no pz.ini
    std::unique_ptr<pz4test::ClosingRecorder> parent;
    std::unique_ptr<cObjectManager> objects;
    QPointer<TPz4ListDlg> dlg;
};

TEST_F(ListDlgTest, IsAFixedToolWindowWithoutCloseBox) {
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("FrameList"));
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE((dlg->windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
    auto* label = dlg->findChild<QLabel*>(QString::number(TPz4ListDlg::LabelId));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Farmes:"));
    const DialogUnits du(QFont(QStringLiteral("Arial"), 8));
    EXPECT_EQ(dlg->size(), du.size(88, 169));
    EXPECT_EQ(list()->geometry(), du.rect(4, 16, 80, 152));
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(ListDlgTest, LabelsEveryFrameDistinctlyInFrameOrder) {
    struct Case {
        int count;
        const char* countText;
        const char* first;
        const char* last;
    } cases[] = {
        {3, "003", "Frame 000", "Frame 002"},
        {1, "001", "Frame 000", "Frame 000"},
        {0, "000", nullptr, nullptr},
        {-1, "-001", nullptr, nullptr},
        {999, "999", "Frame 000", "Frame 998"},
        // Frame numbers up to 999 still fit three digits; the count does not.
        {1000, "1000", "Frame 000", "Frame 999"},
        {1001, "1001", "Frame 0000", "Frame 1000"},
        {12345, "12345", "Frame 00000", "Frame 12344"},
    };
    for (const Case& c : cases) {
        dlg->FillList(c.count);
        EXPECT_EQ(countText(), QString::fromLatin1(c.countText)) << c.count;
        if (!c.first) {
            EXPECT_EQ(rows(), 0) << c.count;
            continue;
        }
        ASSERT_EQ(rows(), c.count);
        EXPECT_EQ(label(0), QString::fromLatin1(c.first));
        EXPECT_EQ(label(c.count - 1), QString::fromLatin1(c.last));
        for (int i = 1; i < rows(); ++i)
            ASSERT_LT(label(i - 1), label(i)) << c.count << " at " << i;
    }
}

TEST_F(ListDlgTest, SelectionIsTheFrameNumbersAscending) {
    dlg->FillList(3);
    EXPECT_EQ(dlg->GetSelection(), nullptr);
    clickRow(2);
    clickRow(0, Qt::ControlModifier);
    EXPECT_EQ(selection(), (std::vector<int>{0, 2}));
    clickRow(1);
    clickRow(2, Qt::ShiftModifier);
    EXPECT_EQ(selection(), (std::vector<int>{1, 2}));
}

TEST_F(ListDlgTest, SelectionPastAThousandFramesNamesThePickedFrames) {
    dlg->FillList(1005);
    clickRow(1003);
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(list()->currentIndex().data().toString(), QStringLiteral("Frame 0003"));
    EXPECT_EQ(selection(), (std::vector<int>{3, 1003}));
}

TEST_F(ListDlgTest, AWildFrameCountIsListedOnlyUpToTheLimit) {
    dlg->FillList(2147483647);
    EXPECT_EQ(countText(), QStringLiteral("2147483647"));
    ASSERT_EQ(rows(), TPz4ListDlg::MaxListed);
    EXPECT_EQ(label(TPz4ListDlg::MaxListed - 1), QStringLiteral("Frame 999999"));
    list()->selectAll();
    const std::unique_ptr<cIntList> all = dlg->GetSelection();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->LastIndex(), TPz4ListDlg::MaxListed - 1);
}

TEST_F(ListDlgTest, EnterAndEscapeChangeNothing) {
    dlg->FillList(3);
    clickRow(1);
    for (QWidget* target : {static_cast<QWidget*>(list()), static_cast<QWidget*>(dlg.data())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, key);
            pz4test::runDeferredDeletes();
            ASSERT_TRUE(dlg);
            EXPECT_TRUE(dlg->isVisible());
            EXPECT_EQ(selection(), (std::vector<int>{1}));
        }
    }
    EXPECT_TRUE(parent->messages.empty());
}

TEST_F(ListDlgTest, CloseStoresThePositionAndNotifiesOnce) {
    dlg->move(140, 150);
    dlg->Close();
    dlg->Close();
    EXPECT_EQ(parent->messages, std::vector<int>{closing::ListClosed});
    EXPECT_EQ(objects->LiX, 140);
    EXPECT_EQ(objects->LiY, 150);
    pz4test::runDeferredDeletes();
    EXPECT_FALSE(dlg); // disposed of once closed
}

} // namespace
