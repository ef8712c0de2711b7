#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "editor/component_palette.h"
#include "editor/designer_form.h"
#include "editor/group_properties_window.h"
#include "editor/net_clipboard.h"
#include "editor/net_picture.h"
#include "editor/property_inspector.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/net_fragment.h"
#include "netfile/net_file.h"
#include "performance/steady_window.h"
#include "performance/transient_window.h"
#include "reach/reachability_window.h"
#include "simulation/simulation_window.h"
#include "structural/invariants_window.h"

namespace {
const QString kPn2Filter = QStringLiteral("Petri Net v2 (*.pn2)");
const QString kPnmlFilter = QStringLiteral("PNML (*.pnml)");
const QString kFileFilter =
    kPn2Filter + QStringLiteral(";;") + kPnmlFilter + QStringLiteral(";;All files (*)");
} // namespace

TfmMain::TfmMain(TQRVDesigner& designer, QWidget* parent) : QMainWindow(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmMain"));
    m_surface = new TfmDesignerForm(m_designer, this);
    setCentralWidget(m_surface);

    m_inspectorDock = new QDockWidget(QStringLiteral("Object Inspector"), this);
    m_inspectorDock->setObjectName(QStringLiteral("InspectorDock"));
    m_inspectorDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                                 QDockWidget::DockWidgetFloatable);
    m_inspector = new TfmPropertyInspector(m_designer, m_inspectorDock);
    m_inspectorDock->setWidget(m_inspector);
    connect(m_inspector, &TfmPropertyInspector::HideRequested, m_inspectorDock, &QWidget::hide);
    connect(m_inspector, &TfmPropertyInspector::HelpRequested, this, [this] { ShowHelp(100); });
    connect(m_inspector, &TfmPropertyInspector::StayOnTopToggled, this, [this](bool onTop) {
        // Only a floating inspector can stay above the other windows.
        if (onTop)
            m_inspectorDock->setFloating(true);
        m_inspectorDock->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        m_inspectorDock->show();
    });
    m_inspectorDock->setMinimumWidth(220);
    addDockWidget(Qt::RightDockWidgetArea, m_inspectorDock);

    buildMenus();
    buildToolPanel();
    buildStatusLine();

    connect(&m_designer, &TQRVDesigner::InspectorToggleRequested, this, &TfmMain::ToggleInspector);
    connect(m_surface, &TfmDesignerForm::ZoomRequested, this, &TfmMain::ZoomAt);
    connect(m_surface, &TfmDesignerForm::ContextMenuRequested, this, &TfmMain::ShowContextMenu);
    connect(&m_designer, &TQRVDesigner::ChangedStateChanged, this, &TfmMain::updateCaption);

    m_designer.ClearNet();
    updateCaption();
    updateEditCommands();
    resize(1100, 760);
}

TfmMain::~TfmMain()
{
    // The net belongs to the container, which outlives the window.
    disconnect(&m_designer, nullptr, this, nullptr);
}

QString TfmMain::ProgramName()
{
    return QStringLiteral("Quorvane " QUORVANE_VERSION);
}

QString TfmMain::Caption(const QString& fileName, bool changed)
{
    return QFileInfo(fileName).fileName() + (changed ? QStringLiteral("*") : QString()) +
           QStringLiteral(" - ") + ProgramName();
}

void TfmMain::updateCaption()
{
    // The title ends with the program's name, which the platform then does
    // not add a second time.
    setWindowTitle(Caption(m_fileName, m_designer.IsChanged()));
    m_surface->setWindowTitle(Caption(m_fileName, false));
}

void TfmMain::buildStatusLine()
{
    auto makeLabel = [this](const char* name) {
        auto* label = new QLabel(statusBar());
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    m_prompt = makeLabel("lbPrompt");
    m_position = makeLabel("lbPosition");
    m_selected = makeLabel("lbSelected");
    m_position->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("X 00000  Y 00000")));
    statusBar()->addWidget(m_prompt, 1);
    statusBar()->addPermanentWidget(m_position);
    statusBar()->addPermanentWidget(m_selected);
    connect(m_surface, &TfmDesignerForm::PointerMoved, this, [this](const QPointF& at) {
        m_position->setText(QStringLiteral("X %1  Y %2")
                                .arg(qRound(m_designer.ToModelX(at.x())))
                                .arg(qRound(m_designer.ToModelY(at.y()))));
    });
    // Whatever the user does ends in a repaint or a new selection.
    connect(&m_designer, &TQRVDesigner::PaintRequested, this, &TfmMain::updateStatusLine);
    connect(&m_designer, &TQRVDesigner::SelectionHandedOver, this, &TfmMain::updateStatusLine);
    connect(&m_designer, &TQRVDesigner::PaletteResetRequested, this, &TfmMain::updateStatusLine);
    updateStatusLine();
}

void TfmMain::updateStatusLine()
{
    m_prompt->setText(m_designer.Prompt());
    const qsizetype n = m_designer.Selection().size();
    m_selected->setText(n == 0 ? QString() : QStringLiteral("%1 selected").arg(n));
}

QAction* TfmMain::addCommand(QMenu* menu, const QString& caption, const char* name, const QKeySequence& key,
                             bool enabled)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    a->setEnabled(enabled);
    return a;
}

QAction* TfmMain::Action(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

void TfmMain::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnFile"));
    connect(addCommand(file, QStringLiteral("New Window"), "actNewWindow",
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)),
            &QAction::triggered, this,
            [] { QProcess::startDetached(QCoreApplication::applicationFilePath(), {}); });
    connect(addCommand(file, QStringLiteral("&New"), "actNew", QKeySequence(Qt::CTRL | Qt::Key_N)),
            &QAction::triggered, this, &TfmMain::NewNet);
    connect(addCommand(file, QStringLiteral("&Open"), "actOpen", QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, this, &TfmMain::Open);
    connect(addCommand(file, QStringLiteral("&Save"), "actSave", QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &TfmMain::Save);
    connect(addCommand(file, QStringLiteral("Save As..."), "actSaveAs",
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &TfmMain::SaveAs);
    QMenu* exportMenu = file->addMenu(QStringLiteral("Export"));
    exportMenu->setObjectName(QStringLiteral("mnExport"));
    connect(addCommand(exportMenu, QStringLiteral("As Bitmap"), "actExportBitmap"), &QAction::triggered, this,
            [this] {
                const QString name = askPictureName(QStringLiteral("Bitmap Image (*.bmp);;All files (*)"),
                                                    QStringLiteral("bmp"));
                if (!name.isEmpty())
                    ExportPicture(name);
            });
    connect(addCommand(exportMenu, QStringLiteral("As SVG"), "actExportSvg"), &QAction::triggered, this,
            [this] {
                const QString name =
                    askPictureName(QStringLiteral("SVG Image (*.svg);;All files (*)"), QStringLiteral("svg"));
                if (!name.isEmpty())
                    ExportPicture(name);
            });
    file->addSeparator();
    QAction* exit = addCommand(file, QStringLiteral("&Exit"), "actExit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    exit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(Qt::ALT | Qt::Key_F4)});
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnEdit"));
    connect(addCommand(edit, QStringLiteral("&Undo"), "actUndo", QKeySequence(Qt::CTRL | Qt::Key_Z), false),
            &QAction::triggered, this, [this] { m_designer.Edits().Undo(); });
    QAction* redo = addCommand(edit, QStringLiteral("&Redo"), "actRedo", QKeySequence(), false);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redo, &QAction::triggered, this, [this] { m_designer.Edits().Redo(); });
    edit->addSeparator();
    connect(addCommand(edit, QStringLiteral("Cu&t"), "actCut", QKeySequence(Qt::CTRL | Qt::Key_X), false),
            &QAction::triggered, this, [this] {
                m_designer.FinishGesture();
                CutSelection(m_designer);
            });
    connect(addCommand(edit, QStringLiteral("&Copy"), "actCopy", QKeySequence(Qt::CTRL | Qt::Key_C), false),
            &QAction::triggered, this, [this] { CopySelection(m_designer); });
    connect(addCommand(edit, QStringLiteral("&Paste"), "actPaste", QKeySequence(Qt::CTRL | Qt::Key_V), false),
            &QAction::triggered, this, &TfmMain::Paste);
    connect(addCommand(edit, QStringLiteral("&Duplicate"), "actDuplicate", QKeySequence(Qt::CTRL | Qt::Key_D),
                       false),
            &QAction::triggered, this, &TfmMain::Duplicate);
    addCommand(edit, QStringLiteral("Paste &Special..."), "actPasteSpecial", QKeySequence(), false);
    connect(addCommand(edit, QStringLiteral("Select All"), "actSelectAll", QKeySequence::SelectAll),
            &QAction::triggered, &m_designer, &TQRVDesigner::SelectAll);
    connect(edit, &QMenu::aboutToShow, this, &TfmMain::updateEditCommands);
    connect(&m_designer.Edits(), &TQRVEdits::HistoryChanged, this, &TfmMain::updateEditCommands);
    connect(&m_designer, &TQRVDesigner::SelectionHandedOver, this, &TfmMain::updateEditCommands);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfmMain::updateEditCommands);
    edit->addSeparator();
    connect(addCommand(edit, QStringLiteral("Copy to Clipboard"), "actCopyToClipboard"), &QAction::triggered,
            this, &TfmMain::CopyToClipboard);
    connect(addCommand(edit, QStringLiteral("Object's Property"), "actObjectProperty"), &QAction::triggered,
            this, [this] {
                TfmEditObjectsProperties window(m_designer, this);
                window.exec();
            });

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("mnView"));
    QAction* inspector =
        addCommand(view, QStringLiteral("Object Inspector"), "actObjectInspector", QKeySequence(Qt::Key_F11));
    inspector->setShortcutContext(Qt::ApplicationShortcut);
    connect(inspector, &QAction::triggered, this, &TfmMain::ToggleInspector);
    view->addSeparator();
    QAction* zoomIn = addCommand(view, QStringLiteral("Zoom In"), "actZoomIn");
    zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    connect(zoomIn, &QAction::triggered, this, [this] { Zoom(1); });
    connect(
        addCommand(view, QStringLiteral("Zoom Out"), "actZoomOut", QKeySequence(Qt::CTRL | Qt::Key_Minus)),
        &QAction::triggered, this, [this] { Zoom(-1); });
    connect(addCommand(view, QStringLiteral("Actual Size"), "actZoom100", QKeySequence(Qt::CTRL | Qt::Key_0)),
            &QAction::triggered, this, &TfmMain::ZoomActualSize);

    QMenu* analysis = menuBar()->addMenu(QStringLiteral("Analysis"));
    analysis->setObjectName(QStringLiteral("mnAnalysis"));
    connect(addCommand(analysis, QStringLiteral("Reachability graph"), "actReachability"),
            &QAction::triggered, this, &TfmMain::ReachabilityGraph);
    connect(addCommand(analysis, QStringLiteral("Structural analysis"), "actStructural"), &QAction::triggered,
            this, &TfmMain::StructuralAnalysis);
    m_performanceMenu = analysis->addMenu(QStringLiteral("Performance analysis"));
    m_performanceMenu->setObjectName(QStringLiteral("mnPerformance"));
    m_performanceMenu->setEnabled(false);
    connect(
        addCommand(m_performanceMenu, QStringLiteral("Steady Analysis"), "actSteady", QKeySequence(), false),
        &QAction::triggered, this, &TfmMain::SteadyAnalysis);
    connect(addCommand(m_performanceMenu, QStringLiteral("Transient Analysis"), "actTransient",
                       QKeySequence(), false),
            &QAction::triggered, this, &TfmMain::TransientAnalysis);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnHelp"));
    connect(addCommand(help, QStringLiteral("Help"), "actHelp", QKeySequence(Qt::Key_F1)),
            &QAction::triggered, this, [this] { ShowHelp(100); });
    connect(addCommand(help, QStringLiteral("About"), "actAbout"), &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("About Quorvane"),
                           QStringLiteral("<h3>%1</h3>"
                                          "<p>Draws, stores, analyses and simulates Petri nets: "
                                          "discrete, stochastic and hybrid.</p>")
                               .arg(ProgramName()));
    });
}

void TfmMain::buildToolPanel()
{
    m_toolPanel = addToolBar(QStringLiteral("Tools"));
    m_toolPanel->setObjectName(QStringLiteral("ToolPanel"));
    m_toolPanel->setMovable(false);
    m_toolPanel->setFloatable(false);

    // Each button's hint names the key of the menu command it shares.
    auto addButton = [this](const QString& hint, QStyle::StandardPixmap icon, const char* name,
                            const char* command = nullptr) {
        QAction* a = m_toolPanel->addAction(style()->standardIcon(icon), hint);
        const QKeySequence key = command ? Action(QString::fromLatin1(command))->shortcut() : QKeySequence();
        a->setToolTip(key.isEmpty() ? hint
                                    : hint + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                                          QLatin1Char(')'));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    connect(addButton(QStringLiteral("New Petri NET"), QStyle::SP_FileIcon, "btNew", "actNew"),
            &QAction::triggered, this, &TfmMain::NewNet);
    connect(addButton(QStringLiteral("Open from file"), QStyle::SP_DialogOpenButton, "btOpen", "actOpen"),
            &QAction::triggered, this, &TfmMain::Open);
    connect(addButton(QStringLiteral("Save"), QStyle::SP_DialogSaveButton, "btSave", "actSave"),
            &QAction::triggered, this, &TfmMain::Save);
    connect(addButton(QStringLiteral("Simulate"), QStyle::SP_MediaPlay, "btSimulate"), &QAction::triggered,
            this, &TfmMain::Simulate);
    m_toolPanel->addSeparator();

    auto* scaleLabel = new QLabel(QStringLiteral("Scale"), m_toolPanel);
    scaleLabel->setContentsMargins(6, 0, 4, 0);
    m_toolPanel->addWidget(scaleLabel);
    m_scaleBox = new QComboBox(m_toolPanel);
    m_scaleBox->setObjectName(QStringLiteral("cbScale"));
    m_scaleBox->setToolTip(
        QStringLiteral("Scale of the drawing (Ctrl+= larger, Ctrl+- smaller, Ctrl+0 100%)"));
    m_scaleBox->addItems({QStringLiteral("40%"), QStringLiteral("50%"), QStringLiteral("60%"),
                          QStringLiteral("70%"), QStringLiteral("80%"), QStringLiteral("90%"),
                          QStringLiteral("100%"), QStringLiteral("120%"), QStringLiteral("150%")});
    m_scaleBox->setCurrentText(QStringLiteral("100%"));
    connect(m_scaleBox, &QComboBox::textActivated, this, &TfmMain::SetScaleText);
    connect(m_scaleBox, &QComboBox::currentTextChanged, this, &TfmMain::SetScaleText);
    m_toolPanel->addWidget(m_scaleBox);
    m_toolPanel->addSeparator();

    // The palette: one tab per page above the buttons of the chosen page.
    auto* strip = new QWidget(m_toolPanel);
    strip->setObjectName(QStringLiteral("PaletteStrip"));
    auto* column = new QVBoxLayout(strip);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_paletteTabs = new QTabBar(strip);
    m_paletteTabs->setObjectName(QStringLiteral("tcPalette"));
    m_paletteTabs->setDrawBase(false);
    m_paletteTabs->setExpanding(false);
    for (const QString& page : TQRVClassRegistry::Instance().Pages())
        m_paletteTabs->addTab(page);
    m_palette = new TComponentPalette(strip);
    column->addWidget(m_paletteTabs);
    column->addWidget(m_palette);
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_toolPanel->addWidget(strip);

    auto showPage = [this](int index) {
        if (index >= 0)
            m_palette->ShowPage(m_paletteTabs->tabText(index));
        m_designer.SetCreationClass(nullptr);
        if (m_prompt)
            updateStatusLine();
    };
    connect(m_paletteTabs, &QTabBar::currentChanged, this, showPage);
    showPage(m_paletteTabs->currentIndex());
    connect(m_palette, &TComponentPalette::ClassChosen, this, [this](const TQRVClassInfo* cls) {
        m_designer.SetCreationClass(cls);
        if (m_prompt)
            updateStatusLine();
    });
    connect(&m_designer, &TQRVDesigner::PaletteResetRequested, m_palette, &TComponentPalette::ResetToPointer);
}

void TfmMain::updateEditCommands()
{
    const TQRVEdits& edits = m_designer.Edits();
    QAction* undo = Action(QStringLiteral("actUndo"));
    undo->setEnabled(edits.CanUndo());
    undo->setText(edits.CanUndo() ? QStringLiteral("&Undo ") + edits.UndoText() : QStringLiteral("&Undo"));
    QAction* redo = Action(QStringLiteral("actRedo"));
    redo->setEnabled(edits.CanRedo());
    redo->setText(edits.CanRedo() ? QStringLiteral("&Redo ") + edits.RedoText() : QStringLiteral("&Redo"));
    const bool selected = !m_designer.Selection().isEmpty();
    for (const char* name : {"actCut", "actCopy", "actDuplicate"})
        Action(QString::fromLatin1(name))->setEnabled(selected);
    Action(QStringLiteral("actPaste"))->setEnabled(ClipboardHasElements());
}

void TfmMain::Paste()
{
    QWidget* viewport = m_surface->viewport();
    const QPoint pointer = QCursor::pos();
    // With the pointer on the surface: where it is.
    if (QApplication::widgetAt(pointer) == viewport) {
        const QPoint p = viewport->mapFromGlobal(pointer);
        pasteAt(&p);
    } else {
        pasteAt(nullptr);
    }
}

void TfmMain::pasteAt(const QPoint* surfacePoint)
{
    const QString text = FragmentOf(QGuiApplication::clipboard()->mimeData());
    if (text.isEmpty())
        return;
    // An arc half drawn is cancelled first, as for any command of the menu.
    m_designer.FinishGesture();
    TPastePlace place;
    if (surfacePoint) {
        place.AtPoint = true;
        place.Point = QPointF(m_designer.ToModelX(surfacePoint->x()), m_designer.ToModelY(surfacePoint->y()));
    } else {
        // Pasting the same elements again puts each copy beside the last.
        m_pasteCount = text == m_lastPaste ? m_pasteCount + 1 : 1;
        m_lastPaste = text;
        place.Offset = 20.0 * m_pasteCount;
    }
    const QString error = PasteFragment(m_designer, text, place, QStringLiteral("Paste"));
    if (!error.isEmpty())
        showError(error);
}

void TfmMain::ShowContextMenu(const QPoint& at)
{
    delete m_contextMenu;
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("mnDrawing"));
    TQRVObject* o = m_designer.ObjectAt(at.x(), at.y());
    if (o) {
        // The element under the pointer is what the commands act on.
        if (!m_designer.IsSelected(o))
            m_designer.SelectObject(o);
        m_contextMenu->addAction(QStringLiteral("&Properties"), this, [this] {
            m_inspectorDock->show();
            m_inspectorDock->raise();
        });
        m_contextMenu->addAction(QStringLiteral("&Delete"), this, [this] {
            m_designer.FinishGesture();
            m_designer.DeleteSelected();
        });
        m_contextMenu->addSeparator();
        m_contextMenu->addAction(Action(QStringLiteral("actCut")));
        m_contextMenu->addAction(Action(QStringLiteral("actCopy")));
    } else {
        QAction* paste =
            m_contextMenu->addAction(QStringLiteral("&Paste"), this, [this, at] { pasteAt(&at); });
        paste->setEnabled(ClipboardHasElements());
        m_contextMenu->addAction(Action(QStringLiteral("actSelectAll")));
    }
    updateEditCommands();
    m_contextMenu->popup(m_surface->viewport()->mapToGlobal(at));
}

void TfmMain::Duplicate()
{
    m_designer.FinishGesture();
    const QList<TQRVObject*> objects = FragmentObjects(m_designer, m_designer.Selection());
    if (objects.isEmpty())
        return;
    const QString error =
        PasteFragment(m_designer, FragmentText(objects), TPastePlace(), QStringLiteral("Duplicate"));
    if (!error.isEmpty())
        showError(error);
}

void TfmMain::SetScaleText(const QString& text)
{
    const int percent = text.left(text.indexOf(QLatin1Char('%'))).trimmed().toInt();
    if (percent > 0)
        m_designer.SetScale(percent / 100.0);
}

void TfmMain::StructuralAnalysis()
{
    TfmInvar window(m_designer, this);
    if (!window.BuildIncidence()) {
        const QStringList why = window.Engine().Interruptions;
        showError(why.isEmpty() ? QStringLiteral("Not structure !") : why.join(QLatin1Char('\n')));
        return;
    }
    window.exec();
}

void TfmMain::ReachabilityGraph()
{
    TfmAnalyze_1 window(m_designer, this);
    PlaceBesideNet(window);
    if (AutoAnswer != 0)
        window.MessageHook = [this](const QString& text) { m_designer.ShowError(text); };
    window.exec();
    // The performance analyses read the graph the window wrote; the steady
    // state needs a graph without dead markings, while the transient analysis
    // takes them as absorbing states.
    m_performanceMenu->setEnabled(window.Built());
    Action(QStringLiteral("actSteady"))->setEnabled(window.NoDeadMarking());
    Action(QStringLiteral("actTransient"))->setEnabled(window.Built());
    m_designer.SetUpdating(false);
    m_designer.Update();
}

void TfmMain::SteadyAnalysis()
{
    TStohAnalyze window(m_designer, QString(), this);
    if (AutoAnswer != 0)
        window.MessageHook = [this](const QString& text) { m_designer.ShowError(text); };
    window.exec();
    m_designer.SetUpdating(false);
    m_designer.Update();
}

void TfmMain::TransientAnalysis()
{
    TTransAnalyze window(m_designer, QString(), this);
    if (AutoAnswer != 0)
        window.MessageHook = [this](const QString& text) { m_designer.ShowError(text); };
    window.exec();
    m_designer.SetUpdating(false);
    m_designer.Update();
}

void TfmMain::Simulate()
{
    TfmSimulation window(m_designer, this);
    window.exec();
    m_designer.SetSimulating(false);
    m_designer.Update();
}

void TfmMain::ZoomAt(int steps, const QPointF& anchor)
{
    const int index = std::clamp(m_scaleBox->currentIndex() + steps, 0, m_scaleBox->count() - 1);
    if (index == m_scaleBox->currentIndex())
        return;
    const double previous = m_designer.Scale();
    m_scaleBox->setCurrentIndex(index);
    m_surface->KeepPointAt(anchor, previous);
}

void TfmMain::Zoom(int steps)
{
    ZoomAt(steps, QRectF(m_surface->viewport()->rect()).center());
}

void TfmMain::ZoomActualSize()
{
    const int current = m_scaleBox->currentIndex();
    const int actual = m_scaleBox->findText(QStringLiteral("100%"));
    if (actual >= 0)
        ZoomAt(actual - current, QRectF(m_surface->viewport()->rect()).center());
}

void TfmMain::PlaceBesideNet(QWidget& window) const
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize size = window.size();
    // Where the net is drawn now, on the screen.
    QRect net;
    const QRect view = m_surface->viewport()->rect();
    for (const TQRVObject* o : m_designer.ObjectList())
        net |= o->DrawnBounds().intersected(view);
    net.translate(m_surface->viewport()->mapToGlobal(QPoint(0, 0)));
    // Beside the main window on either side, else over its right or left edge
    // (the inspector's side first); the place that covers least of the net wins.
    const int top = frame.top() + std::max(0, frame.height() - size.height()) / 4;
    const QList<QPoint> candidates = {{frame.right() + 1, top},
                                      {frame.left() - size.width(), top},
                                      {frame.right() + 1 - size.width(), top},
                                      {frame.left(), top}};
    QPoint best;
    qint64 least = -1;
    for (QPoint p : candidates) {
        p.setX(std::clamp(p.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
        p.setY(std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
        const QRect covered = QRect(p, size).intersected(net);
        const qint64 cost = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
        if (least < 0 || cost < least) {
            least = cost;
            best = p;
        }
    }
    window.move(best);
}

void TfmMain::ToggleInspector()
{
    if (!m_inspectorDock->isVisible()) {
        m_inspectorDock->show();
        m_inspectorDock->raise();
    } else if (m_inspectorDock->isFloating() && !m_inspectorDock->isActiveWindow()) {
        m_inspectorDock->raise();
        m_inspectorDock->activateWindow();
    } else {
        m_inspectorDock->hide();
    }
}

void TfmMain::ShowHelp(int context)
{
    if (!m_help)
        m_help = new THelpWindow(this);
    m_help->ShowTopic(context);
}

int TfmMain::ask(const QString& text, int buttons)
{
    if (AutoAnswer != 0)
        return AutoAnswer;
    return QMessageBox::question(this, QStringLiteral("Confirm"), text,
                                 static_cast<QMessageBox::StandardButtons>(buttons));
}

void TfmMain::showError(const QString& text)
{
    if (AutoAnswer != 0) {
        m_designer.ShowError(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("Error"), text);
}

void TfmMain::showInformation(const QString& text)
{
    if (AutoAnswer != 0) {
        m_designer.ShowError(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("Information"), text);
}

void TfmMain::showWarnings(const QStringList& warnings)
{
    if (warnings.isEmpty())
        return;
    const QString text = warnings.join(QLatin1Char('\n'));
    if (AutoAnswer != 0)
        m_designer.ShowError(text);
    else
        QMessageBox::warning(this, QStringLiteral("Warning"), text);
}

QString TfmMain::dialogFolder() const
{
    if (m_fromFile)
        return QFileInfo(m_fileName).absolutePath();
    return QDir::currentPath();
}

QString TfmMain::askFileName(bool save)
{
    if (!AutoFileName.isNull()) {
        const QString name = AutoFileName;
        AutoFileName.clear();
        return name;
    }
    if (save) {
        QFileDialog dialog(this, QStringLiteral("Save As"), dialogFolder(), kFileFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("pn2"));
        // A name typed without extension takes that of the chosen format.
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter == kPnmlFilter ? QStringLiteral("pnml") : QStringLiteral("pn2"));
        });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
    return QFileDialog::getOpenFileName(this, QStringLiteral("Open"), dialogFolder(), kFileFilter);
}

QString TfmMain::askPictureName(const QString& filter, const QString& suffix)
{
    if (!AutoFileName.isNull()) {
        const QString name = AutoFileName;
        AutoFileName.clear();
        return name;
    }
    QFileDialog dialog(this, QStringLiteral("Export"), dialogFolder(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool TfmMain::ExportPicture(const QString& fileName)
{
    const QString error = ExportNetPicture(m_designer, fileName, 1.0);
    if (!error.isEmpty()) {
        showError(error);
        return false;
    }
    return true;
}

void TfmMain::CopyToClipboard()
{
    // A vector picture together with a bitmap, so that any program can paste it.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/svg+xml"), NetSvg(m_designer, 1.0));
    const QImage image = NetImage(m_designer, 1.0);
    if (!image.isNull())
        data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
}

bool TfmMain::confirmDiscard(bool always)
{
    if (!always && !m_designer.IsChanged())
        return true;
    const int answer =
        ask(QStringLiteral("Save the changes ?"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes)
        return Save();
    return true;
}

void TfmMain::NewNet()
{
    if (!confirmDiscard(true))
        return;
    m_fileName = NoName;
    m_fromFile = false;
    // Clearing the net forgets the history too.
    m_designer.ClearNet();
    updateCaption();
    m_designer.Update();
}

bool TfmMain::fileDone(const QString& fileName, const QString& error, const QStringList& warnings)
{
    if (!error.isEmpty()) {
        showError(error);
        return false;
    }
    m_fileName = fileName;
    m_fromFile = true;
    rememberFile(fileName);
    // The net is now as the file holds it: undoing back to here clears the "*".
    m_designer.Edits().SetClean();
    updateCaption();
    showWarnings(warnings);
    return true;
}

bool TfmMain::OpenFile(const QString& fileName)
{
    QStringList warnings;
    const QString error = LoadNetFile(m_designer, fileName, &warnings);
    return fileDone(fileName, error, warnings);
}

void TfmMain::Open()
{
    if (!confirmDiscard(false))
        return;
    const QString name = askFileName(false);
    if (name.isEmpty())
        return;
    OpenFile(name);
}

void TfmMain::rememberFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    m_knownFile = info.absoluteFilePath();
    m_knownSize = info.size();
    m_knownTime = info.lastModified();
}

bool TfmMain::mayReplace(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        return true;
    // The file this window read or wrote, unchanged since: a net.
    if (info.absoluteFilePath() == m_knownFile && info.size() == m_knownSize &&
        info.lastModified() == m_knownTime)
        return true;
    TQRVDesigner scratch;
    if (LoadNetFile(scratch, fileName).isEmpty())
        return true;
    return ask(QStringLiteral("%1 does not hold a net that Quorvane can read.\nReplace it with this net?")
                   .arg(info.fileName()),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TfmMain::SaveTo(const QString& fileName)
{
    if (!mayReplace(fileName))
        return false;
    QStringList warnings;
    const QString error = SaveNetFile(m_designer, fileName, &warnings);
    return fileDone(fileName, error, warnings);
}

bool TfmMain::Save()
{
    if (m_fileName == NoName)
        return SaveAs();
    return SaveTo(m_fileName);
}

bool TfmMain::SaveAs()
{
    const QString name = askFileName(true);
    if (name.isEmpty())
        return false;
    return SaveTo(name);
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    if (!confirmDiscard(false)) {
        event->ignore();
        return;
    }
    if (m_help)
        m_help->close();
    m_designer.DeleteAll();
    event->accept();
}

void TfmMain::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F11) {
        ToggleInspector();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Esc anywhere outside an editor drops the tool in use.
        m_designer.CancelTool();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
