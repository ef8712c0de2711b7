// The main window on the offscreen platform: captions, menus, scale box,
// the inspector dock, help, and the questions about unsaved changes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include "app/help_window.h"
#include "app/main_window.h"
#include "editor/component_palette.h"
#include "editor/designer_form.h"
#include "model/class_registry.h"
#include "model/edits.h"
#include "model/text.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

QStringList menuCaptions(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        captions << a->text();
    }
    return captions;
}

QMenu* topMenu(TfmMain& w, const QString& title)
{
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

void addText(TQRVDesigner& d)
{
    auto* t = new TclsText(&d);
    t->SetNameDirect(d.UniqueName(t->GetNamePrefix()));
    d.InsertObject(t);
}

} // namespace

TEST(MainWindow, TheTitleNamesTheFileOnceThenTheProgramWithTheAboutBoxsVersion)
{
    EXPECT_EQ(TfmMain::ProgramName(), "Quorvane " QUORVANE_VERSION);
    EXPECT_EQ(TfmMain::Caption("/home/u/net.pn2", true), "net.pn2* - Quorvane " QUORVANE_VERSION);

    TTestDesigner d;
    TfmMain w(d);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.FileName(), "noname.pn");
    EXPECT_EQ(w.windowTitle(), "noname.pn - " + TfmMain::ProgramName());
    // Unsaved edits show as a "*" after the file's name, until the net is back where it was.
    d.Edits().Change("Create", {}, [&] { addText(d); });
    EXPECT_EQ(w.windowTitle(), "noname.pn* - " + TfmMain::ProgramName());
    EXPECT_EQ(w.windowTitle().count("Quorvane"), 1);
    d.Edits().Undo();
    EXPECT_EQ(w.windowTitle(), "noname.pn - " + TfmMain::ProgramName());

    // Help, About shows the same program and version.
    QString about;
    QTimer::singleShot(0, &w, [&about] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            about = box->text();
            box->accept();
        }
    });
    w.Action("actAbout")->trigger();
    EXPECT_TRUE(about.contains(TfmMain::ProgramName())) << about.toStdString();
}

TEST(MainWindow, HasTheMenusWithTheirCaptions)
{
    TTestDesigner d;
    TfmMain w(d);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "View", "Analysis", "Help"}));

    EXPECT_EQ(menuCaptions(topMenu(w, "&File")),
              (QStringList{"New Window", "&New", "&Open", "&Save", "Save As...", "Export", "&Exit"}));
    EXPECT_EQ(menuCaptions(topMenu(w, "&Edit")),
              (QStringList{"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "&Duplicate", "Paste &Special...",
                           "Select All", "Copy to Clipboard", "Object's Property"}));
    EXPECT_EQ(menuCaptions(topMenu(w, "View")),
              (QStringList{"Object Inspector", "Zoom In", "Zoom Out", "Actual Size"}));
    EXPECT_EQ(menuCaptions(topMenu(w, "Analysis")),
              (QStringList{"Reachability graph", "Structural analysis", "Performance analysis"}));
    EXPECT_EQ(menuCaptions(topMenu(w, "Help")), (QStringList{"Help", "About"}));

    // With nothing done and nothing selected, the Edit commands wait; the
    // performance analyses wait for a reachability graph.
    for (const char* name : {"actUndo", "actRedo", "actCut", "actCopy", "actDuplicate", "actPasteSpecial"})
        EXPECT_FALSE(w.Action(name)->isEnabled()) << name;
    QMenu* performance = w.findChild<QMenu*>("mnPerformance");
    ASSERT_NE(performance, nullptr);
    EXPECT_FALSE(performance->isEnabled());
    EXPECT_EQ(menuCaptions(performance), (QStringList{"Steady Analysis", "Transient Analysis"}));

    // Tool buttons carry their hints, with the key of the command when it has one.
    EXPECT_EQ(w.Action("btNew")->toolTip(), "New Petri NET (Ctrl+N)");
    EXPECT_EQ(w.Action("btOpen")->toolTip(), "Open from file (Ctrl+O)");
    EXPECT_EQ(w.Action("btSave")->toolTip(), "Save (Ctrl+S)");
    EXPECT_EQ(w.Action("btSimulate")->toolTip(), "Simulate");
}

TEST(MainWindow, EveryToolButtonHasAHintAndTheCustomaryKeysWork)
{
    RegisterStandardClasses();
    TTestDesigner d;
    TfmMain w(d);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // The tool buttons of every palette page too.
    for (int page = 0; page < w.PaletteTabs()->count(); ++page) {
        w.PaletteTabs()->setCurrentIndex(page);
        for (const QToolButton* b : w.findChildren<QToolButton*>()) {
            if (b->isVisible()) {
                EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
            }
        }
    }
    w.PaletteTabs()->setCurrentIndex(0);
    const TQRVClassInfo* timed = TQRVClassRegistry::Instance().Find("TclsTransTimed");
    ASSERT_NE(timed, nullptr);
    EXPECT_EQ(w.Palette()->ButtonFor("TclsTransTimed")->toolTip(), "Timed transition (clsTransTimed)");

    const QList<QPair<const char*, QKeySequence>> keys = {
        {"actNew", QKeySequence("Ctrl+N")},      {"actOpen", QKeySequence("Ctrl+O")},
        {"actSave", QKeySequence("Ctrl+S")},     {"actSaveAs", QKeySequence("Ctrl+Shift+S")},
        {"actExit", QKeySequence("Ctrl+Q")},     {"actZoomIn", QKeySequence("Ctrl+=")},
        {"actZoomOut", QKeySequence("Ctrl+-")},  {"actZoom100", QKeySequence("Ctrl+0")},
        {"actSelectAll", QKeySequence("Ctrl+A")}};
    for (const auto& [name, key] : keys)
        EXPECT_TRUE(w.Action(name)->shortcuts().contains(key)) << name;

    // The zoom keys, pressed on the drawing surface.
    w.Surface()->setFocus();
    QTest::keyClick(w.Surface(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(w.ScaleBox()->currentText(), "120%");
    QTest::keyClick(w.Surface(), Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(w.Surface(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(w.ScaleBox()->currentText(), "90%");
    QTest::keyClick(w.Surface(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(w.ScaleBox()->currentText(), "100%");
    EXPECT_DOUBLE_EQ(d.Scale(), 1.0);
}

TEST(MainWindow, ScaleBoxSetsTheViewScale)
{
    TTestDesigner d;
    TfmMain w(d);
    QComboBox* box = w.ScaleBox();
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    EXPECT_EQ(entries, (QStringList{"40%", "50%", "60%", "70%", "80%", "90%", "100%", "120%", "150%"}));
    EXPECT_EQ(box->currentText(), "100%");
    EXPECT_DOUBLE_EQ(d.Scale(), 1.0);
    box->setCurrentIndex(0);
    EXPECT_DOUBLE_EQ(d.Scale(), 0.4);
    box->setCurrentText("150%");
    EXPECT_DOUBLE_EQ(d.Scale(), 1.5);
}

TEST(MainWindow, F11ShowsAndHidesTheInspector)
{
    TTestDesigner d;
    TfmMain w(d);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.InspectorDock()->windowTitle(), "Object Inspector");
    EXPECT_TRUE(w.InspectorDock()->isVisible());
    QTest::keyClick(&w, Qt::Key_F11);
    EXPECT_FALSE(w.InspectorDock()->isVisible());
    // F11 on the drawing surface goes through the container.
    QTest::keyClick(w.Surface(), Qt::Key_F11);
    EXPECT_TRUE(w.InspectorDock()->isVisible());
}

TEST(MainWindow, NewAsksEvenForAnUnchangedNetAndEmptiesIt)
{
    TTestDesigner d;
    TfmMain w(d);
    d.Edits().Change("Create", {}, [&] { addText(d); });
    d.Edits().SetClean();

    // The question comes for an unchanged net too: Cancel keeps it.
    w.AutoAnswer = QMessageBox::Cancel;
    w.NewNet();
    EXPECT_EQ(d.ObjectCount(), 1);

    // No empties the net without writing anything.
    w.AutoAnswer = QMessageBox::No;
    w.AutoFileName = QString("");
    w.NewNet();
    EXPECT_EQ(d.ObjectCount(), 0);
    EXPECT_FALSE(d.IsChanged());
    EXPECT_EQ(w.FileName(), "noname.pn");
    EXPECT_FALSE(w.AutoFileName.isNull()) << "no save dialog";
}

TEST(MainWindow, SaveAsksForANameOnlyForANetNeverSaved)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    d.Edits().Change("Create", {}, [&] { addText(d); });

    // A new net: the save dialog; cancelling it writes nothing.
    w.AutoFileName = QString("");
    EXPECT_FALSE(w.Save());
    EXPECT_TRUE(w.AutoFileName.isNull()) << "the save dialog was asked";
    EXPECT_EQ(w.FileName(), "noname.pn");

    const QString name = dir.filePath("net.pn2");
    w.AutoFileName = name;
    ASSERT_TRUE(w.Save());
    EXPECT_EQ(w.FileName(), name);
    EXPECT_EQ(w.windowTitle(), "net.pn2 - " + TfmMain::ProgramName());

    // A named net is written without a dialog.
    QFile::remove(name);
    w.AutoFileName = QString("");
    ASSERT_TRUE(w.Save());
    EXPECT_FALSE(w.AutoFileName.isNull()) << "no save dialog";
    EXPECT_TRUE(QFile::exists(name));

    // A file that is literally called "noname.pn" counts as never saved.
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(w.SaveTo("noname.pn"));
    w.AutoFileName = QString("");
    EXPECT_FALSE(w.Save());
    EXPECT_TRUE(w.AutoFileName.isNull()) << "the save dialog was asked";
    QDir::setCurrent(current);
}

TEST(MainWindow, ASaveOrExportOnAFullDiskIsReportedAndKeepsTheFileAndTheName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    ASSERT_TRUE(w.OpenFile(QDir(ExamplesDir()).filePath("hybrid-tank.pn2")));
    const QString opened = w.FileName();
    const QByteArray previous = "an earlier version\r\n";
    d.Edits().Change("Create", {}, [&] { addText(d); });

    // Save As onto a file that is there, Save, and the three pictures.
    const QString other = dir.filePath("other.pn2");
    ASSERT_TRUE(WriteFileBytes(other, previous));
    {
        TFullDisk full(100);
        // Replacing a file that holds no net is agreed to; the disk then refuses.
        w.AutoAnswer = QMessageBox::Yes;
        w.AutoFileName = other;
        EXPECT_FALSE(w.SaveAs());
        w.AutoAnswer = QMessageBox::Ok;
        for (const QString picture : {"net.svg", "net.png", "net.bmp"}) {
            ASSERT_TRUE(WriteFileBytes(dir.filePath(picture), previous));
            EXPECT_FALSE(w.ExportPicture(dir.filePath(picture)));
            EXPECT_EQ(ReadFileBytes(dir.filePath(picture)), previous) << picture.toStdString();
        }
    }
    EXPECT_EQ(ReadFileBytes(other), previous);
    EXPECT_EQ(w.FileName(), opened);
    EXPECT_TRUE(d.IsChanged());
    ASSERT_EQ(d.Errors.size(), 4);
    EXPECT_EQ(d.Errors.first(), "Cannot write other.pn2: No space left on device");
    EXPECT_EQ(d.Errors.last(), "Cannot write net.bmp: No space left on device");
}

TEST(MainWindow, OpeningAFileThatIsNotAWholeNetKeepsTheNetAndItsName)
{
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    const QString net = QDir(ExamplesDir()).filePath("unbounded.pn2");
    ASSERT_TRUE(w.OpenFile(net));
    d.Edits().Change("Create", {}, [&] { addText(d); });
    const QString caption = w.windowTitle();
    const int objects = d.ObjectCount();
    const QString notNets = TestDataDir() + "/not-a-net/";
    const QStringList files = QDir(notNets).entryList(QDir::Files);
    ASSERT_GE(files.size(), 7);
    for (const QString& file : files) {
        // Through File, Open as the user does it.
        w.AutoAnswer = QMessageBox::No; // keep the unsaved changes unsaved
        w.AutoFileName = notNets + file;
        w.Open();
        EXPECT_EQ(w.FileName(), net) << file.toStdString();
        EXPECT_EQ(w.windowTitle(), caption) << file.toStdString();
        EXPECT_EQ(d.ObjectCount(), objects) << file.toStdString();
        EXPECT_TRUE(d.IsChanged()) << file.toStdString();
        ASSERT_FALSE(d.Errors.isEmpty());
        EXPECT_TRUE(d.Errors.last().startsWith(file + " is not a net file: "))
            << d.Errors.last().toStdString();
    }
    EXPECT_EQ(d.Errors.size(), files.size());
}

TEST(MainWindow, ClosingWithUnsavedChangesAsksFirst)
{
    TTestDesigner d;
    TfmMain w(d);
    w.show();
    d.Edits().Change("Create", {}, [&] { addText(d); });
    w.AutoAnswer = QMessageBox::Cancel;
    EXPECT_FALSE(w.close());
    EXPECT_EQ(d.ObjectCount(), 1);
    EXPECT_TRUE(w.isVisible());

    // Yes saves first; a save that does not happen (no name given) keeps the window.
    w.AutoAnswer = QMessageBox::Yes;
    w.AutoFileName = QString("");
    EXPECT_FALSE(w.close());
    EXPECT_EQ(d.ObjectCount(), 1);

    w.AutoAnswer = QMessageBox::No;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(d.ObjectCount(), 0);
}

TEST(MainWindow, PaletteTabsFollowTheRegisteredPages)
{
    TTestDesigner d;
    TfmMain w(d);
    QStringList tabs;
    for (int i = 0; i < w.PaletteTabs()->count(); ++i)
        tabs << w.PaletteTabs()->tabText(i);
    EXPECT_EQ(tabs, TQRVClassRegistry::Instance().Pages());
}

TEST(MainWindow, HelpShowsTheManualAtTopic100)
{
    TTestDesigner d;
    TfmMain w(d);
    w.ShowHelp(100);
    auto* help = w.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Quorvane is a program"));
    // An unknown topic falls back to the first page.
    EXPECT_EQ(THelpWindow::TopicPage(12345), THelpWindow::TopicPage(100));
    help->close();
}

TEST(MainWindow, OpensAndSavesPnmlAndSaysWhatOtherProgramsLose)
{
    QTemporaryDir dir;
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    ASSERT_TRUE(w.OpenFile(QDir(ExamplesDir()).filePath("hybrid-tank.pn2")));
    const int objects = d.ObjectCount();
    const QString pnml = dir.filePath("tank.pnml");
    ASSERT_TRUE(w.SaveTo(pnml));
    EXPECT_EQ(w.FileName(), pnml);
    ASSERT_EQ(d.Errors.size(), 1);
    EXPECT_TRUE(d.Errors.first().contains("ordinary arcs")) << d.Errors.first().toStdString();

    w.AutoAnswer = QMessageBox::No;
    w.NewNet();
    EXPECT_EQ(d.ObjectCount(), 0);
    ASSERT_TRUE(w.OpenFile(pnml));
    EXPECT_EQ(d.ObjectCount(), objects);
    EXPECT_FALSE(d.IsChanged());
    EXPECT_EQ(d.Errors.size(), 1); // our own file: nothing to warn about

    // The manual explains the exchange, linked from its first page.
    EXPECT_TRUE(QFile::exists(THelpWindow::TopicPage(120)));
    EXPECT_NE(THelpWindow::TopicPage(120), THelpWindow::TopicPage(100));
    QFile first(THelpWindow::TopicPage(100));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_TRUE(first.readAll().contains("href=\"topic-120.html\""));
}

TEST(MainWindow, SavingOverAFileThatIsNotANetAsksFirst)
{
    TTestDesigner d;
    TfmMain w(d);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    d.Edits().Change("Create", {}, [&] { addText(d); });
    QTemporaryDir dir;
    auto write = [](const QString& name, const QByteArray& bytes) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    auto read = [](const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QString notes = dir.filePath("notes.pn2");
    write(notes, "my notes, not a net\n");

    // Declined: the file stays as it was and the net keeps its old name.
    d.Errors.clear();
    w.AutoAnswer = QMessageBox::No;
    w.AutoFileName = notes;
    EXPECT_FALSE(w.SaveAs());
    EXPECT_EQ(read(notes), "my notes, not a net\n");
    EXPECT_EQ(w.FileName(), "noname.pn");
    EXPECT_TRUE(d.IsChanged());

    // Accepted: replaced by the net.
    w.AutoAnswer = QMessageBox::Yes;
    w.AutoFileName = notes;
    ASSERT_TRUE(w.SaveAs());
    TTestDesigner other;
    EXPECT_EQ(LoadNetFile(other, notes), "");
    // Saving the net's own file again asks nothing (a No would refuse).
    w.AutoAnswer = QMessageBox::No;
    d.Edits().Change("Create", {}, [&] { addText(d); });
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(d.IsChanged());
    EXPECT_EQ(LoadNetFile(other, notes), "");
    EXPECT_EQ(other.ObjectCount(), 2);

    // A file that does not open as a net never becomes the one saved to.
    const QString junk = dir.filePath("junk.pn2");
    write(junk, "<object class=\"nothing\"");
    EXPECT_FALSE(w.OpenFile(junk));
    EXPECT_EQ(w.FileName(), notes);
    d.Edits().Change("Create", {}, [&] { addText(d); });
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(read(junk), "<object class=\"nothing\"");
    EXPECT_EQ(LoadNetFile(other, notes), "");
    EXPECT_EQ(other.ObjectCount(), 3);
}
