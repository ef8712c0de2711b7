// The Edit menu: Undo and Redo name their step and answer their keys, the
// "*" follows the history back to the saved net, New and Open forget it, and
// Cut, Copy, Paste and Duplicate go through the clipboard, also into a
// second window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "editor/designer_form.h"
#include "editor/net_clipboard.h"
#include "model/element_builders.h"
#include "model/name_label.h"
#include "model/net_fragment.h"
#include "test_support.h"

namespace {

class EditCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TfmMain>(d);
        window->resize(900, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        surface = window->Surface()->viewport();
    }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(surface, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(surface, from + (to - from) * i / 4);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, to);
    }

    QPoint at(const TQRVObject* o) const
    {
        return QPoint(qRound(d.ToScreenX(o->Left() + o->Width() / 2)),
                      qRound(d.ToScreenY(o->Top() + o->Height() / 2)));
    }

    void key(int k, Qt::KeyboardModifiers mods) { QTest::keyClick(window->Surface(), Qt::Key(k), mods); }

    QAction* action(const char* name) const { return window->Action(QString::fromLatin1(name)); }
    bool starred() const { return window->windowTitle().endsWith('*'); }

    TTestDesigner d;
    std::unique_ptr<TfmMain> window;
    QWidget* surface = nullptr;
};

} // namespace

TEST_F(EditCommandsTest, UndoAndRedoNameTheStepAndAnswerTheirKeys)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    d.Edits().Clear();
    QAction* undo = action("actUndo");
    QAction* redo = action("actRedo");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->text(), "&Undo");

    // A drag of several moves is one step.
    drag(at(p1), at(p1) + QPoint(44, 0));
    EXPECT_EQ(p1->Left(), 140);
    EXPECT_EQ(d.Edits().Count(), 1);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), "&Undo Move p1");

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(p1->Left(), 100);
    EXPECT_EQ(redo->text(), "&Redo Move p1");
    EXPECT_FALSE(undo->isEnabled());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(p1->Left(), 140);
    key(Qt::Key_Z, Qt::ControlModifier);
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(p1->Left(), 140);
    EXPECT_FALSE(redo->isEnabled());
}

TEST_F(EditCommandsTest, TheStarFollowsTheHistoryAndNewAndOpenForgetIt)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    QTemporaryDir dir;
    const QString file = dir.filePath("net.pn2");
    ASSERT_TRUE(window->SaveTo(file));
    EXPECT_FALSE(starred());

    drag(at(p1), at(p1) + QPoint(40, 0));
    EXPECT_TRUE(starred());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(starred()); // back where it was saved
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(starred());
    ASSERT_TRUE(window->Save());
    EXPECT_FALSE(starred());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(starred());

    window->AutoAnswer = QMessageBox::No;
    ASSERT_TRUE(window->OpenFile(file));
    EXPECT_FALSE(d.Edits().CanUndo());
    EXPECT_FALSE(d.Edits().CanRedo());
    EXPECT_FALSE(starred());
    drag(at(d.FindObject("p1")), at(d.FindObject("p1")) + QPoint(0, 40));
    EXPECT_TRUE(d.Edits().CanUndo());
    window->NewNet();
    EXPECT_FALSE(d.Edits().CanUndo());
    EXPECT_FALSE(action("actUndo")->isEnabled());
}

TEST_F(EditCommandsTest, CutCopyPasteAndDuplicateGoThroughTheClipboard)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    NameLabel::Create(*p1);
    auto* t1 = AddNode<TclsTransTimed>(d, 250, 100, "t1");
    AddArc<TclsLinkNormal>(d, p1, t1);
    d.Edits().Clear();
    d.SelectObject(nullptr);
    d.Modified();
    EXPECT_FALSE(action("actCopy")->isEnabled());

    d.SetSelection({p1, t1});
    d.Modified();
    ASSERT_TRUE(action("actCopy")->isEnabled());
    action("actCopy")->trigger();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(NetFragmentMimeType));
    EXPECT_TRUE(data->hasFormat("image/svg+xml"));
    EXPECT_TRUE(data->hasImage());
    EXPECT_TRUE(action("actPaste")->isEnabled());

    // Into a second window whose net has a p1 already.
    TTestDesigner other;
    TfmMain second(other);
    AddNode<TclsNodeDiscrete>(other, 400, 400, "p1");
    other.Edits().Clear();
    second.Action("actPaste")->trigger();
    EXPECT_NE(other.FindObject("p2"), nullptr);
    EXPECT_NE(other.FindObject("Textp2"), nullptr);
    EXPECT_NE(other.FindObject("t1"), nullptr);
    EXPECT_EQ(other.ObjectCount(), 5);
    EXPECT_EQ(other.Edits().UndoText(), "Paste");
    second.Action("actUndo")->trigger();
    EXPECT_EQ(other.ObjectCount(), 1);

    // Cut, then paste back with the pointer away from the surface: beside
    // where it was.
    QTest::mouseMove(window.get(), QPoint(5, 5));
    ASSERT_NE(QApplication::widgetAt(QCursor::pos()), surface);
    const int count = d.ObjectCount();
    action("actCut")->trigger();
    EXPECT_EQ(d.ObjectCount(), 0);
    EXPECT_EQ(d.Edits().UndoText(), "Cut 2 Objects");
    action("actPaste")->trigger();
    EXPECT_EQ(d.ObjectCount(), count);
    ASSERT_NE(d.FindObject("p1"), nullptr);
    EXPECT_EQ(d.FindObject("p1")->Left(), 120);
    EXPECT_EQ(d.Selection().size(), count);

    // Duplicate leaves the clipboard alone and copies beside the selection.
    d.SelectObject(d.FindObject("t1"));
    d.Modified();
    action("actDuplicate")->trigger();
    EXPECT_EQ(d.ObjectCount(), count + 1);
    ASSERT_EQ(d.Selection().size(), 1);
    EXPECT_EQ(d.Selection().first()->Name(), "t2");
    EXPECT_EQ(d.Selection().first()->Left(), d.FindObject("t1")->Left() + 20);
    EXPECT_EQ(d.Edits().UndoText(), "Duplicate");
    EXPECT_EQ(FragmentOf(QGuiApplication::clipboard()->mimeData()).count("<object"), 4);

    // With the pointer over the surface, the elements land there.
    QTest::mouseMove(surface, QPoint(403, 302));
    ASSERT_EQ(QApplication::widgetAt(QCursor::pos()), surface);
    action("actPaste")->trigger();
    ASSERT_EQ(d.Selection().size(), count);
    double left = 1e9, top = 1e9;
    for (const TQRVObject* o : d.Selection())
        if (!qobject_cast<const TclsLink*>(o)) {
            left = std::min(left, o->Left());
            top = std::min(top, o->Top());
        }
    EXPECT_EQ(left, 400);
    EXPECT_EQ(top, 300);
}
