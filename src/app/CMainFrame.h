#pragma once
// The single top-level window: menu, toolbar 131, the three-pane status bar,
// the saved bar layout, and the large cursor while maximised.
#include "view/IViewFrame.h"

#include <QCursor>
#include <QHash>
#include <QMainWindow>

class CMessagePane;
class CTessaroDoc;
class CTessaroView;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow, public IViewFrame {
    Q_OBJECT
public:
    explicit CMainFrame(CTessaroDoc* doc);
    ~CMainFrame() override;

    CTessaroView* GetActiveView() const { return m_pView; }
    CTessaroDoc* GetDocument() const { return m_pDoc; }
    QAction* Action(unsigned id) const { return m_actions.value(id, nullptr); }
    QToolBar* ToolBar() const { return m_pToolBar; }

    bool IsStandardToolbarDocked() const override;
    void UpdateCommandUI() override;
    // The text of a status-bar pane, whole; 0 is the message pane.
    QString PaneText(unsigned paneId) const;
    // Whether the metronome and device panes show (they give way to a long prompt).
    bool IndicatorPanesShown() const;
    CMessagePane* MessagePane() const { return m_pMessagePane; }

    // A second start asked this window to come forward: it comes back in the
    // state it had before it was minimised, and a modal dialog of ours above it.
    void BringToFront();
    // A file handed over by a second start or dropped on the window: opened,
    // or refused with the message File > Open gives.
    void OpenHandedOverFile(const QString& path);

    // File commands
    void OnFileNew();
    bool OpenDocumentFile(const QString& path, QString* error = nullptr);
    bool SaveDocument(const QString& path, QString* error = nullptr);

    // Timer that hides the cursor, while maximised and the mouse is still.
    bool IsCursorHidden() const { return m_nCursorShowCount < 0; }
    static constexpr int kHideCursorMs = 3000;
    // For tests: what the cursor logic does when the mouse moves or the timer ends.
    void OnMouseActivity();
    void OnHideCursorTimer();
    static QCursor LoadLargeCursor();

signals:
    void Shown();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    QAction* MakeAction(unsigned id, const QString& text, const QList<QKeySequence>& keys = {});
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void LoadBarState();
    void SaveBarState();
    void OnCommand(unsigned id);
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void OnFilePrint();
    void OnFilePrintSetup();
    void OnAppAbout();
    void ToggleBar(QWidget* bar);
    void EnterMaximisedCursor();
    void LeaveMaximisedCursor();
    void ReportFileError(const QString& path, const QString& error);
    void ShowPrompt(const QString& prompt);
    void UpdateMessagePane();

    CTessaroDoc* m_pDoc;
    CTessaroView* m_pView = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QHash<unsigned, QAction*> m_actions;
    QMenu* m_pSelectMenu = nullptr;
    CMessagePane* m_pMessagePane = nullptr;
    QString m_strPrompt;
    // Brings the indicator panes back a moment after the last prompt, so
    // that moving across a menu's separators does not make them flicker.
    QTimer* m_pPanesBackTimer = nullptr;
    QLabel* m_pMetronomePane = nullptr;
    QLabel* m_pDevicePane = nullptr;
    QTimer* m_pUpdateTimer = nullptr;
    QTimer* m_pHideCursorTimer = nullptr;
    QTimer* m_pCursorWatch = nullptr;
    QPoint m_lastCursorPos;
    QCursor m_hLargeCursor;
    bool m_bLargeCursorActive = false;
    int m_nCursorShowCount = 0;
    QPrinter* m_pPrinter = nullptr;
    bool m_bClosed = false;
};
