#include "app/CMainFrame.h"

#include "about/CAboutDlg.h"
#include "app/CMessagePane.h"
#include "app/CTessaroDoc.h"
#include "gfx/ArtworkResources.h"
#include "platform/MidiBackend.h"
#include "platform/Settings.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/CTessaroView.h"
#include "view/DumpLine.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int kUpdateUiMs = 250;
constexpr int kCursorWatchMs = 100;
constexpr int kPanesBackMs = 200;

// Menus in which a greyed item can be highlighted like any other, so that
// pointing at it shows its prompt too: what the item would do and, by being
// greyed, that it cannot do it now. Choosing it still does nothing.
class CGreyedItemsMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        // Styles that draw no highlight on a greyed item get a faint one, so
        // that the prompt is seen to belong to it.
        if (element == CE_MenuItem && (option->state & State_Selected) &&
            !(option->state & State_Enabled)) {
            QColor faint = option->palette.color(QPalette::Active, QPalette::Highlight);
            faint.setAlpha(48);
            painter->fillRect(option->rect, faint);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

QString PromptLine(unsigned id, int line)
{
    const QStringList lines = StringTable::GetString(id).split(QLatin1Char('\n'));
    return line < lines.size() ? lines[line] : QString();
}

QIcon ToolbarIcon(const char* name)
{
    const QString path = QStringLiteral(":/res/bitmaps/toolbar-%1.png").arg(QLatin1String(name));
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

CMainFrame::CMainFrame(CTessaroDoc* doc)
    : m_pDoc(doc)
{
    EnsureArtworkResources();
    setObjectName(QApplication::applicationName() + QStringLiteral("Wnd"));
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint;
    // Maximising is for showing the program to others; a small screen has no room for it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->geometry().width() > 780)
        flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setAcceptDrops(true);
    QIcon icon(QStringLiteral(":/res/bitmaps/kelvora.ico"));
    if (!icon.isNull())
        setWindowIcon(icon);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    m_pView = new CTessaroView(m_pDoc, this, this);
    setCentralWidget(m_pView);
    connect(m_pDoc, &CTessaroDoc::TitleChanged, this,
            [this] { m_pView->OnUpdate(CTessaroView::TitleUpdate); });

    LoadBarState();

    m_pUpdateTimer = new QTimer(this);
    m_pUpdateTimer->setInterval(kUpdateUiMs);
    connect(m_pUpdateTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_pUpdateTimer->start();

    m_pHideCursorTimer = new QTimer(this);
    m_pHideCursorTimer->setSingleShot(true);
    m_pHideCursorTimer->setInterval(kHideCursorMs);
    connect(m_pHideCursorTimer, &QTimer::timeout, this, &CMainFrame::OnHideCursorTimer);
    m_pCursorWatch = new QTimer(this);
    m_pCursorWatch->setInterval(kCursorWatchMs);
    connect(m_pCursorWatch, &QTimer::timeout, this, [this] {
        const QPoint pos = QCursor::pos();
        if (pos != m_lastCursorPos) {
            m_lastCursorPos = pos;
            OnMouseActivity();
        }
    });
}

CMainFrame::~CMainFrame()
{
    LeaveMaximisedCursor();
    delete m_pPrinter;
}

QAction* CMainFrame::MakeAction(unsigned id, const QString& text, const QList<QKeySequence>& keys)
{
    auto* a = new QAction(text, this);
    a->setData(id);
    a->setStatusTip(PromptLine(id, 0));
    const QString tip = PromptLine(id, 1);
    if (!tip.isEmpty())
        a->setToolTip(tip);
    if (!keys.isEmpty()) {
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.insert(id, a);
    addAction(a); // shortcuts work with the menu bar hidden too
    return a;
}

void CMainFrame::CreateActions()
{
    using K = QKeySequence;
    MakeAction(ID_FILE_NEW, tr("&New"), {K(Qt::CTRL | Qt::Key_N)})->setIcon(ToolbarIcon("new"));
    MakeAction(ID_FILE_OPEN, tr("&Open..."), {K(Qt::CTRL | Qt::Key_O)});
    MakeAction(ID_FILE_SAVE, tr("&Save"))->setIcon(ToolbarIcon("save"));
    MakeAction(ID_FILE_SAVE_AS, tr("Save &As..."));
    MakeAction(ID_FILE_PRINT, tr("&Print..."), {K(Qt::CTRL | Qt::Key_P)})->setIcon(ToolbarIcon("print"));
    MakeAction(ID_FILE_PRINT_SETUP, tr("P&rint Setup..."));
    MakeAction(ID_APP_EXIT, QStringLiteral("E&xit"));
    MakeAction(ID_EDIT_UNDO, QStringLiteral("&Undo\tCtrl+Z"),
               {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)});
    MakeAction(ID_EDIT_CUT, QStringLiteral("Cu&t\tCtrl+X"),
               {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)})->setIcon(ToolbarIcon("cut"));
    MakeAction(ID_EDIT_COPY, QStringLiteral("&Copy\tCtrl+C"),
               {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)})->setIcon(ToolbarIcon("copy"));
    MakeAction(ID_EDIT_PASTE, QStringLiteral("&Paste\tCtrl+V"),
               {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)})->setIcon(ToolbarIcon("paste"));
    MakeAction(ID_VIEW_STANDARD_TOOLBAR, QStringLiteral("Stan&dard Toolbar"))->setCheckable(true);
    MakeAction(ID_VIEW_MIDI_TOOLBAR, QStringLiteral("&MIDI Toolbar"));
    MakeAction(ID_VIEW_STATUS_BAR_CMD, QStringLiteral("&Status Bar"))->setCheckable(true);
    MakeAction(ID_VIEW_MIDI_INPUT, QStringLiteral("MIDI &Input\tCtrl+I"), {K(Qt::CTRL | Qt::Key_I)})
        ->setIcon(ToolbarIcon("midi-input"));
    MakeAction(ID_VIEW_KEYBOARD, QStringLiteral("&Keyboard\tCtrl+K"), {K(Qt::CTRL | Qt::Key_K)})
        ->setIcon(ToolbarIcon("keyboard"));
    MakeAction(ID_VIEW_HAND_SIGN, QStringLiteral("Hand Sign\tCtrl+S"), {K(Qt::CTRL | Qt::Key_S)})
        ->setIcon(ToolbarIcon("hand-sign"));
    MakeAction(ID_MIDI_SELECT_INPUT, QStringLiteral("&Input Device..."));
    MakeAction(ID_MIDI_SELECT_OUTPUT, QStringLiteral("&Output Device..."));
    MakeAction(ID_MIDI_SETUP_OUTPUT_DEFAULTS, QStringLiteral("Setup &Output Defaults..."));
    MakeAction(ID_MIDI_TOGGLE_METRONOME, QStringLiteral("Toggle &Metronome\tCtrl+M"),
               {K(Qt::CTRL | Qt::Key_M)});
    MakeAction(ID_MIDI_SETUP_METRONOME, QStringLiteral("Setup Me&tronome..."));
    MakeAction(ID_MIDI_LOG_INPUT, QStringLiteral("&Log Input Device"));
    MakeAction(ID_MIDI_SETUP_FILTER, QStringLiteral("Setup &Filter..."));
    MakeAction(ID_MIDI_SETUP_DUMP_FORMAT, QStringLiteral("Setup &Dump Format..."));
    MakeAction(ID_PCKEY_FEMALE, QStringLiteral("&Female"));
    MakeAction(ID_PCKEY_MALE, QStringLiteral("&Male"));
    for (int t = 0; t < 12; ++t)
        MakeAction(ID_MIDI_TONIC_FIRST + unsigned(t), TonicName(t));
    MakeAction(ID_MIDI_CHROMATIC_SIGNS, QStringLiteral("&Chromatic Signs"));
    MakeAction(ID_VIEW_KEY_LETTERS, QStringLiteral("&Letters on Keys"));
    MakeAction(ID_VIEW_KEY_SYLLABLES, QStringLiteral("S&yllables on Keys"));
    MakeAction(ID_VIEW_FIT_PICTURES, QStringLiteral("&Fit Pictures to Window"));
    MakeAction(ID_APP_ABOUT, QStringLiteral("&About Kelvora..."))->setIcon(ToolbarIcon("about"));

    // The menu texts carry the shortcut after a tab, as shown; Qt shows the
    // action's own shortcut, so keep the visible text without it.
    for (QAction* a : std::as_const(m_actions)) {
        const QString t = a->text();
        const qsizetype tab = t.indexOf(QLatin1Char('\t'));
        if (tab >= 0)
            a->setText(t.left(tab));
    }
    for (unsigned id : {ID_VIEW_KEYBOARD, ID_VIEW_MIDI_INPUT, ID_VIEW_HAND_SIGN,
                        ID_MIDI_TOGGLE_METRONOME, ID_PCKEY_MALE, ID_PCKEY_FEMALE,
                        ID_MIDI_CHROMATIC_SIGNS, ID_VIEW_KEY_LETTERS, ID_VIEW_KEY_SYLLABLES,
                        ID_VIEW_FIT_PICTURES})
        m_actions[id]->setCheckable(true);
    for (unsigned t = 0; t < 12; ++t)
        m_actions[ID_MIDI_TONIC_FIRST + t]->setCheckable(true);
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(m_actions[ID_APP_EXIT]);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->addAction(m_actions[ID_EDIT_UNDO]);
    edit->addSeparator();
    edit->addAction(m_actions[ID_EDIT_CUT]);
    edit->addAction(m_actions[ID_EDIT_COPY]);
    edit->addAction(m_actions[ID_EDIT_PASTE]);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(m_actions[ID_VIEW_STANDARD_TOOLBAR]);
    view->addAction(m_actions[ID_VIEW_MIDI_TOOLBAR]);
    view->addAction(m_actions[ID_VIEW_STATUS_BAR_CMD]);
    view->addSeparator();
    view->addAction(m_actions[ID_VIEW_MIDI_INPUT]);
    view->addAction(m_actions[ID_VIEW_KEYBOARD]);
    view->addAction(m_actions[ID_VIEW_HAND_SIGN]);
    view->addSeparator();
    view->addAction(m_actions[ID_VIEW_KEY_LETTERS]);
    view->addAction(m_actions[ID_VIEW_KEY_SYLLABLES]);
    view->addAction(m_actions[ID_VIEW_FIT_PICTURES]);

    QMenu* midi = bar->addMenu(QStringLiteral("&MIDI"));
    m_pSelectMenu = midi->addMenu(QStringLiteral("&Select"));
    m_pSelectMenu->addAction(m_actions[ID_MIDI_SELECT_INPUT]);
    m_pSelectMenu->addAction(m_actions[ID_MIDI_SELECT_OUTPUT]);
    midi->addAction(m_actions[ID_MIDI_SETUP_OUTPUT_DEFAULTS]);
    midi->addSeparator();
    midi->addAction(m_actions[ID_MIDI_TOGGLE_METRONOME]);
    midi->addAction(m_actions[ID_MIDI_SETUP_METRONOME]);
    midi->addSeparator();
    midi->addAction(m_actions[ID_MIDI_LOG_INPUT]);
    midi->addAction(m_actions[ID_MIDI_SETUP_FILTER]);
    midi->addAction(m_actions[ID_MIDI_SETUP_DUMP_FORMAT]);
    midi->addSeparator();
    QMenu* transpose = midi->addMenu(QStringLiteral("Trans&pose Keyboard"));
    transpose->addAction(m_actions[ID_PCKEY_FEMALE]);
    transpose->addAction(m_actions[ID_PCKEY_MALE]);
    midi->addSeparator();
    QMenu* tonic = midi->addMenu(QStringLiteral("T&onic (Movable Do)"));
    for (unsigned t = 0; t < 12; ++t)
        tonic->addAction(m_actions[ID_MIDI_TONIC_FIRST + t]);
    midi->addAction(m_actions[ID_MIDI_CHROMATIC_SIGNS]);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(m_actions[ID_APP_ABOUT]);

    // Menus are brought up to date as they open, like the framework's update pass.
    // Made after the menus, so that it goes after them when the frame does.
    auto* style = new CGreyedItemsMenuStyle(QApplication::style()->name());
    style->setParent(this);
    for (QMenu* m : {file, edit, view, midi, m_pSelectMenu, transpose, tonic, help}) {
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        m->setStyle(style);
    }
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_pToolBar->setObjectName(QString::number(IDR_TOOLBAR));
    m_pToolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->addAction(m_actions[ID_FILE_NEW]);
    m_pToolBar->addAction(m_actions[ID_FILE_SAVE]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_FILE_PRINT]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_EDIT_CUT]);
    m_pToolBar->addAction(m_actions[ID_EDIT_COPY]);
    m_pToolBar->addAction(m_actions[ID_EDIT_PASTE]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_VIEW_MIDI_INPUT]);
    m_pToolBar->addAction(m_actions[ID_VIEW_KEYBOARD]);
    m_pToolBar->addAction(m_actions[ID_VIEW_HAND_SIGN]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_APP_ABOUT]);
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    connect(m_pToolBar, &QToolBar::topLevelChanged, this, [this] {
        if (m_pView) {
            m_pView->OnUpdate(CTessaroView::LayoutChanged);
            m_pView->update();
        }
    });
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* sb = statusBar();
    m_pMessagePane = new CMessagePane(sb);
    m_pMessagePane->SetMessage(StringTable::GetString(AFX_IDS_IDLEMESSAGE));
    sb->addWidget(m_pMessagePane, 1);

    auto makePane = [sb](unsigned id) {
        auto* pane = new QLabel(sb);
        pane->setObjectName(QString::number(id));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(StringTable::GetString(id)) + 8);
        sb->addPermanentWidget(pane);
        return pane;
    };
    m_pMetronomePane = makePane(ID_INDICATOR_METRONOME);
    m_pDevicePane = makePane(ID_INDICATOR_DEVICE);

    m_pPanesBackTimer = new QTimer(this);
    m_pPanesBackTimer->setSingleShot(true);
    m_pPanesBackTimer->setInterval(kPanesBackMs);
    connect(m_pPanesBackTimer, &QTimer::timeout, this, [this] {
        m_pMetronomePane->show();
        m_pDevicePane->show();
    });
}

bool CMainFrame::IndicatorPanesShown() const
{
    return !m_pMetronomePane->isHidden() && !m_pDevicePane->isHidden();
}

// Menu items and toolbar buttons send their prompt as they are pointed at,
// and an empty one as the pointer leaves them.
void CMainFrame::ShowPrompt(const QString& prompt)
{
    m_strPrompt = prompt;
    if (prompt.isEmpty()) {
        m_pPanesBackTimer->start();
    } else {
        m_pPanesBackTimer->stop();
        // A prompt is read whole: where the window is too narrow for it beside
        // the metronome and device panes, they make room while it shows.
        if (IndicatorPanesShown() && !m_pMessagePane->Fits(prompt)) {
            m_pMetronomePane->hide();
            m_pDevicePane->hide();
        }
    }
    UpdateMessagePane();
}

void CMainFrame::UpdateMessagePane()
{
    QString text = m_strPrompt;
    if (text.isEmpty() && m_pView)
        text = m_pView->StatusMessage();
    if (text.isEmpty())
        text = StringTable::GetString(AFX_IDS_IDLEMESSAGE);
    m_pMessagePane->SetMessage(text);
}

// --- Bar layout -------------------------------------------------------------------

void CMainFrame::LoadBarState()
{
    const QByteArray state = Settings::ReadBinary(Settings::BarState);
    if (!state.isEmpty())
        restoreState(state); // a damaged blob is refused by restoreState itself
    const int statusShown = Settings::Read(Settings::StatusBarShown);
    statusBar()->setVisible(statusShown != 0);
}

void CMainFrame::SaveBarState()
{
    Settings::WriteBinary(Settings::BarState, saveState());
    Settings::Write(Settings::StatusBarShown, statusBar()->isHidden() ? 0 : 1);
}

bool CMainFrame::IsStandardToolbarDocked() const
{
    return m_pToolBar && !m_pToolBar->isHidden() && !m_pToolBar->isFloating();
}

void CMainFrame::ToggleBar(QWidget* bar)
{
    bar->setVisible(bar->isHidden());
    if (m_pView) {
        m_pView->OnUpdate(CTessaroView::LayoutChanged);
        m_pView->update();
    }
}

// --- Commands ---------------------------------------------------------------------

void CMainFrame::OnCommand(unsigned id)
{
    if (!m_pView)
        return;
    // Shortcuts reach actions even when the command is disabled in the menu
    // only by the last update pass; check again now.
    UpdateCommandUI();
    if (QAction* a = m_actions.value(id); a && !a->isEnabled())
        return;
    switch (id) {
    case ID_FILE_NEW: OnFileNew(); break;
    case ID_FILE_OPEN: OnFileOpen(); break;
    case ID_FILE_SAVE: OnFileSave(); break;
    case ID_FILE_SAVE_AS: OnFileSaveAs(); break;
    case ID_FILE_PRINT: OnFilePrint(); break;
    case ID_FILE_PRINT_SETUP: OnFilePrintSetup(); break;
    case ID_APP_EXIT: close(); break;
    case ID_APP_ABOUT: OnAppAbout(); break;
    case ID_VIEW_STANDARD_TOOLBAR: ToggleBar(m_pToolBar); break;
    case ID_VIEW_STATUS_BAR_CMD: ToggleBar(statusBar()); break;
    default: m_pView->OnCommand(id); break;
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI()
{
    if (!m_pView)
        return;
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const unsigned id = it.key();
        QAction* a = it.value();
        if (id == ID_VIEW_STANDARD_TOOLBAR) {
            a->setChecked(!m_pToolBar->isHidden());
            continue;
        }
        if (id == ID_VIEW_STATUS_BAR_CMD) {
            a->setChecked(!statusBar()->isHidden());
            continue;
        }
        a->setEnabled(m_pView->IsCommandEnabled(id));
        if (a->isCheckable())
            a->setChecked(m_pView->IsCommandChecked(id));
    }
    IMidiBackend& midi = MidiSystem::Backend();
    m_pSelectMenu->setEnabled(midi.InputCount() > 0 || midi.OutputCount() > 0);
    m_pView->ReportLostMessages();
    m_pMetronomePane->setText(m_pView->MetronomePaneText());
    m_pDevicePane->setText(m_pView->DevicePaneText());
    UpdateMessagePane();
}

QString CMainFrame::PaneText(unsigned paneId) const
{
    if (paneId == ID_INDICATOR_METRONOME)
        return m_pMetronomePane->text();
    if (paneId == ID_INDICATOR_DEVICE)
        return m_pDevicePane->text();
    return m_pMessagePane->Message();
}

void CMainFrame::OnFileNew()
{
    m_pDoc->OnNewDocument();
    m_pView->OnInitialUpdate();
}

bool CMainFrame::OpenDocumentFile(const QString& path, QString* error)
{
    QString text;
    if (!CTessaroDoc::ReadLog(path, text, error))
        return false;
    m_pDoc->OnNewDocument();
    m_pDoc->SetPathName(path);
    m_pView->OnInitialUpdate();
    // An opened log shows its text, in whatever pane is next shown.
    m_pView->SetLogText(text);
    return true;
}

bool CMainFrame::SaveDocument(const QString& path, QString* error)
{
    m_pView->OnUpdate(CTessaroView::SaveLogText);
    if (!m_pDoc->WriteLog(path, error))
        return false;
    m_pDoc->SetPathName(path);
    return true;
}

void CMainFrame::ReportFileError(const QString& path, const QString& error)
{
    QMessageBox::warning(this, QApplication::applicationName(),
                         CTessaroDoc::FileErrorMessage(path, error));
}

void CMainFrame::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), QString(), QStringLiteral("Kelvora Files (*.kvf);;All Files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!OpenDocumentFile(path, &error))
        ReportFileError(path, error);
}

void CMainFrame::OnFileSave()
{
    if (m_pDoc->GetPathName().isEmpty()) {
        OnFileSaveAs();
        return;
    }
    QString error;
    if (!SaveDocument(m_pDoc->GetPathName(), &error))
        ReportFileError(m_pDoc->GetPathName(), error);
}

void CMainFrame::OnFileSaveAs()
{
    QFileDialog dlg(this);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters({QStringLiteral("Kelvora Files (*.kvf)"), QStringLiteral("All Files (*)")});
    dlg.setDefaultSuffix(QStringLiteral("kvf"));
    dlg.selectFile(m_pDoc->GetPathName().isEmpty() ? QStringLiteral("Untitled.kvf")
                                                   : m_pDoc->GetPathName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QString path = dlg.selectedFiles().first();
    QString error;
    if (!SaveDocument(path, &error))
        ReportFileError(path, error);
}

void CMainFrame::OnFilePrint()
{
    if (!m_pPrinter)
        m_pPrinter = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dlg(m_pPrinter, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // The log's text is what is worth having on paper.
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    doc.setPlainText(DumpLine::ToEditText(m_pView->CurrentLogText()));
    doc.print(m_pPrinter);
}

void CMainFrame::OnFilePrintSetup()
{
    if (!m_pPrinter)
        m_pPrinter = new QPrinter(QPrinter::HighResolution);
    QPageSetupDialog dlg(m_pPrinter, this);
    dlg.exec();
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg dlg(this);
    dlg.exec();
}

// --- Window events ----------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* e)
{
    if (!m_bClosed) {
        m_bClosed = true;
        SaveBarState();
        m_pUpdateTimer->stop();
        m_pView->Shutdown();
    }
    QMainWindow::closeEvent(e);
}

bool CMainFrame::event(QEvent* e)
{
    // Prompts go to the message pane, not over the whole bar.
    if (e->type() == QEvent::StatusTip) {
        ShowPrompt(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::BringToFront()
{
    // Qt remembers a maximised state under the minimised one: clearing only
    // the minimised flag brings the window back maximised, in the large
    // pictures and font it is shown to others with.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // A modal dialog of ours stays on top of the frame it belongs to.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CMainFrame::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    emit Shown();
}

void CMainFrame::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !m_pView)
        return;
    // A minimised window keeps its maximised flag (it comes back maximised),
    // but the large cursor is only for the window on screen.
    if (isMinimized()) {
        LeaveMaximisedCursor();
    } else if (isMaximized()) {
        EnterMaximisedCursor();
        m_pView->OnUpdate(CTessaroView::FrameMaximized);
    } else {
        LeaveMaximisedCursor();
        m_pView->OnUpdate(CTessaroView::FrameRestored);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    OpenHandedOverFile(urls.first().toLocalFile());
}

void CMainFrame::OpenHandedOverFile(const QString& path)
{
    QString error;
    if (!OpenDocumentFile(path, &error))
        ReportFileError(path, error);
}

// --- The large cursor -----------------------------------------------------------

QCursor CMainFrame::LoadLargeCursor()
{
    // Twice the usual size, so that people watching a shared screen can follow it.
    const int size = 64;
    QPixmap pix(QStringLiteral(":/res/bitmaps/178-64.png"));
    if (!pix.isNull())
        return QCursor(pix, 0, 0); // the hot spot is the arrow's tip
    {
        pix = QPixmap(size, size);
        pix.fill(Qt::transparent);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath arrow;
        arrow.moveTo(3, 3);
        arrow.lineTo(3, 50);
        arrow.lineTo(15, 39);
        arrow.lineTo(24, 58);
        arrow.lineTo(32, 54);
        arrow.lineTo(23, 36);
        arrow.lineTo(39, 36);
        arrow.closeSubpath();
        p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    }
    return QCursor(pix, 3, 3);
}

void CMainFrame::EnterMaximisedCursor()
{
    if (!m_bLargeCursorActive) {
        if (m_hLargeCursor.shape() != Qt::BitmapCursor)
            m_hLargeCursor = LoadLargeCursor();
        QApplication::setOverrideCursor(m_hLargeCursor);
        m_bLargeCursorActive = true;
    }
    m_nCursorShowCount = 0;
    m_lastCursorPos = QCursor::pos();
    m_pCursorWatch->start();
    m_pHideCursorTimer->start();
}

void CMainFrame::LeaveMaximisedCursor()
{
    if (m_pCursorWatch)
        m_pCursorWatch->stop();
    if (m_pHideCursorTimer)
        m_pHideCursorTimer->stop();
    if (m_bLargeCursorActive) {
        QApplication::restoreOverrideCursor();
        m_bLargeCursorActive = false;
    }
    m_nCursorShowCount = 0;
}

void CMainFrame::OnMouseActivity()
{
    if (!m_bLargeCursorActive)
        return;
    if (m_nCursorShowCount < 0) {
        QApplication::changeOverrideCursor(m_hLargeCursor);
        m_nCursorShowCount = 0;
    }
    m_pHideCursorTimer->start(); // restarts the three seconds
}

void CMainFrame::OnHideCursorTimer()
{
    if (!m_bLargeCursorActive || m_nCursorShowCount < 0)
        return;
    QApplication::changeOverrideCursor(QCursor(Qt::BlankCursor));
    m_nCursorShowCount = -1;
}
