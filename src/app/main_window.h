// The main window: menus, tool buttons, the scale box, the palette strip,
// the drawing surface and the property inspector dock.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QTabBar;
class QToolBar;
class TQRVDesigner;
class TfmDesignerForm;
class TfmPropertyInspector;
class THelpWindow;
class TComponentPalette;

class TfmMain : public QMainWindow
{
    Q_OBJECT
public:
    // The file name of a net never saved or loaded.
    static inline const QString NoName = QStringLiteral("noname.pn");

    explicit TfmMain(TQRVDesigner& designer, QWidget* parent = nullptr);
    ~TfmMain() override;

    TQRVDesigner& Designer() const { return m_designer; }
    QString FileName() const { return m_fileName; }

    // The program with its version, as the title and the About box show it.
    static QString ProgramName();
    // The window title: the file's name, "*" when the net holds unsaved
    // changes, then the program: "net.pn2* - Quorvane 1.0".
    static QString Caption(const QString& fileName, bool changed);

    // Commands (also reachable from tests).
    void NewNet();
    bool OpenFile(const QString& fileName);
    bool SaveTo(const QString& fileName);
    void Open();
    bool Save();
    bool SaveAs();
    void ToggleInspector();
    // File, Export: a picture of the net at scale 1 (by the file's extension).
    bool ExportPicture(const QString& fileName);
    void CopyToClipboard();
    // Edit, Paste: the elements on the clipboard, at the pointer when it is
    // over the surface, otherwise beside where they were copied from.
    void Paste();
    // Edit, Duplicate: a copy of the selection beside it.
    void Duplicate();
    void ShowHelp(int context = 100);
    void SetScaleText(const QString& text);
    // Analysis, Structural analysis: the invariant window, modal.
    void StructuralAnalysis();
    // Analysis, Reachability graph: the reachability-graph window, modal;
    // when it closes, the performance analyses follow what it built.
    void ReachabilityGraph();
    // Analysis, Performance analysis, Steady Analysis.
    void SteadyAnalysis();
    // Analysis, Performance analysis, Transient Analysis.
    void TransientAnalysis();
    // The "Simulate" tool button: the simulation window, modal.
    void Simulate();
    // The menu of the drawing at `at` (surface pixels): on an element
    // Properties, Delete, Cut and Copy; on empty space Paste and Select All.
    void ShowContextMenu(const QPoint& at);
    QMenu* ContextMenu() const { return m_contextMenu; }
    // Moves the scale box `steps` entries, keeping the point under `anchor`.
    void ZoomAt(int steps, const QPointF& anchor);
    // View, Zoom In / Zoom Out (around the middle of the surface), Actual Size.
    void Zoom(int steps);
    void ZoomActualSize();
    // Puts a window that steps through markings where it hides as little of
    // the drawn net as the screen allows, beside the main window if there is room.
    void PlaceBesideNet(QWidget& window) const;

    QComboBox* ScaleBox() const { return m_scaleBox; }
    TfmDesignerForm* Surface() const { return m_surface; }
    QDockWidget* InspectorDock() const { return m_inspectorDock; }
    TfmPropertyInspector* Inspector() const { return m_inspector; }
    QTabBar* PaletteTabs() const { return m_paletteTabs; }
    TComponentPalette* Palette() const { return m_palette; }
    QToolBar* ToolPanel() const { return m_toolPanel; }
    // The status line: the tool's prompt, the pointer's model position, the selection's size.
    QLabel* PromptLabel() const { return m_prompt; }
    QLabel* PositionLabel() const { return m_position; }
    QLabel* SelectionLabel() const { return m_selected; }
    QAction* Action(const QString& objectName) const;
    // Lets tests and scripts answer the questions the window would ask.
    // 0: ask with a message box; otherwise the button to take.
    int AutoAnswer = 0;
    // The file the next save or open dialog would return (tests); empty: ask.
    QString AutoFileName;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenus();
    void buildToolPanel();
    void updateCaption();
    // Undo and Redo name their steps; Cut, Copy, Paste follow selection and clipboard.
    void updateEditCommands();
    // Pastes the clipboard's elements at a surface point, or offset beside the last paste.
    void pasteAt(const QPoint* surfacePoint);
    void buildStatusLine();
    void updateStatusLine();
    // After a file was read or written: the message, or the new name and caption.
    bool fileDone(const QString& fileName, const QString& error, const QStringList& warnings);
    // "Save the changes ?": true when the caller may go on (saved or declined).
    bool confirmDiscard(bool always);
    // Whether the net may be written to `fileName`: a file there that does
    // not read as a net is replaced only when the user says so.
    bool mayReplace(const QString& fileName);
    // Remembers the file as read or written now: saving over it again needs no question.
    void rememberFile(const QString& fileName);
    int ask(const QString& text, int buttons);
    QString askFileName(bool save);
    QString askPictureName(const QString& filter, const QString& suffix);
    void showError(const QString& text);
    void showInformation(const QString& text);
    // What a file could not hold, after it was read or written.
    void showWarnings(const QStringList& warnings);
    QString dialogFolder() const;
    QAction* addCommand(QMenu* menu, const QString& caption, const char* name,
                        const QKeySequence& key = QKeySequence(), bool enabled = true);

    TQRVDesigner& m_designer;
    QString m_fileName = NoName;
    bool m_fromFile = false;
    TfmDesignerForm* m_surface = nullptr;
    QDockWidget* m_inspectorDock = nullptr;
    TfmPropertyInspector* m_inspector = nullptr;
    QToolBar* m_toolPanel = nullptr;
    QComboBox* m_scaleBox = nullptr;
    QTabBar* m_paletteTabs = nullptr;
    TComponentPalette* m_palette = nullptr;
    QMenu* m_performanceMenu = nullptr;
    QPointer<THelpWindow> m_help;
    QString m_lastPaste;
    int m_pasteCount = 0;
    // The file last read or written, with its size and time then.
    QString m_knownFile;
    qint64 m_knownSize = -1;
    QDateTime m_knownTime;
    QMenu* m_contextMenu = nullptr;
    QLabel* m_prompt = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_selected = nullptr;
};
