#include "view/CTessaroView.h"

#include "dialogs/DialogUnits.h"
#include "midi/MIDICaps.h"
#include "midi/MIDIShortMsg.h"
#include "midi/MidiPortNames.h"
#include "platform/Settings.h"
#include "platform/Ticks.h"
#include "res/ResourceIds.h"
#include "view/CBeatMark.h"
#include "view/CHandSignPane.h"
#include "view/CKeyboardPane.h"
#include "view/CLogDocument.h"
#include "view/CLogEdit.h"
#include "view/CMetronome.h"
#include "view/CPCKeyboard.h"
#include "view/DumpLine.h"
#include "view/IViewFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

CTessaroView::CTessaroView(CLogDocument* doc, IViewFrame* frame, QWidget* parent)
    : QWidget(parent)
    , m_pDoc(doc)
    , m_pFrame(frame)
    , m_LogFontNormal(QStringLiteral("Arial"), 10)
    , m_LogFontLarge(QStringLiteral("Arial"), 24)
{
    setObjectName(QString::number(IDD_TESSARO_FORM));
    ReadSettings();
    m_Solfege.SetTonic(m_nTonic);
    m_Solfege.SetChromatic(m_bChromaticSigns != 0);
    m_StartTime = DumpLine::NowToTheSecond();
    m_dwStartTicks = GetTickCountMs();
    CreateControls();
    CreateMixerTimers();
    m_pKeyboardPicture->LoadKeyboardBitmaps(false);
    m_pMetronome = std::make_unique<CMetronome>(m_OutDevice);
    m_pBeatMark = new CBeatMark(*m_pMetronome, this);
    m_pPCKeyboard = new CPCKeyboard(*this, this);
}

CTessaroView::~CTessaroView()
{
    Shutdown();
    delete m_pBeatMark; // it reads the metronome, which goes with the members
    m_pBeatMark = nullptr;
}

void CTessaroView::CreateControls()
{
    const CDialogUnits du(font());
    m_formSize = du.Size(306, 164);
    setMinimumSize(m_formSize);

    m_pLogEdit = new CLogEdit(this);
    m_pLogEdit->setObjectName(QString::number(IDC_LOG_EDIT));
    PlaceAt(m_pLogEdit, du, 6, 18, 292, 140);
    m_pLogEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pLogEdit->setFont(m_LogFontNormal);
    m_pLogEdit->document()->setDocumentMargin(4);
    m_pLogBuffer = std::make_unique<CLogBuffer>(m_pLogEdit->document(), m_pDoc);

    m_pLogCaption = new QLabel(this);
    m_pLogCaption->setObjectName(QString::number(IDC_LOG_CAPTION));
    PlaceAt(m_pLogCaption, du, 6, 6, 62, 8);

    m_pKeyboardPicture = new CKeyboardPane(*this, this);
    m_pKeyboardPicture->setObjectName(QString::number(IDC_KEYBOARD_PICTURE));
    m_pKeyboardPicture->move(du.X(69), du.Y(33));
    m_pKeyboardPicture->setFocusPolicy(Qt::StrongFocus);

    m_pHandSignPicture = new CHandSignPane(*this, m_Solfege, this);
    m_pHandSignPicture->setObjectName(QString::number(IDC_HANDSIGN_PICTURE));
    m_HandSignOrigin = QPoint(du.X(6), du.Y(8));
    m_pHandSignPicture->move(m_HandSignOrigin);

    m_pVolumeSlider = new QSlider(Qt::Vertical, this);
    m_pVolumeSlider->setObjectName(QString::number(IDC_VOLUME_SLIDER));
    m_pVolumeSlider->setTickPosition(QSlider::TicksBothSides);
    PlaceAt(m_pVolumeSlider, du, 7, 30, 31, 89);
    m_pVolumeSlider->setEnabled(false); // until the mixer set-up finds the line

    m_pLevelMeter = new QProgressBar(this);
    m_pLevelMeter->setObjectName(QString::number(IDC_LEVEL_METER));
    m_pLevelMeter->setOrientation(Qt::Vertical);
    m_pLevelMeter->setTextVisible(false);
    PlaceAt(m_pLevelMeter, du, 43, 33, 11, 89);

    m_pSliderCaption = new QLabel(this);
    m_pSliderCaption->setObjectName(QString::number(IDC_SLIDER_CAPTION));
    m_pSliderCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    PlaceAt(m_pSliderCaption, du, 5, 6, 52, 8);

    m_pMuteCheck = new QCheckBox(this);
    m_pMuteCheck->setObjectName(QString::number(IDC_MUTE_CHECK));
    PlaceAt(m_pMuteCheck, du, 7, 133, 52, 10);
    m_pMuteCheck->setEnabled(false);

    // Until the mixer set-up finds them, neither a level nor a mute control exists.
    m_pLevelMeter->hide();
    m_pMuteCheck->hide();
}

// --- Creation and updates ---------------------------------------------------------

void CTessaroView::RestoreDevices()
{
    m_InDevice.LoadDeviceID();
    // Not a loop-back port ("Midi Through") where a real instrument is there.
    if (m_InDevice.m_nDeviceID == MIDI_NO_DEVICE)
        m_InDevice.SetDeviceID(MidiPortNames::FirstRealInput());
    m_InDevice.Open(this);

    m_OutDevice.LoadDeviceID();
    if (m_OutDevice.m_nDeviceID == MIDI_NO_DEVICE)
        m_OutDevice.SetDeviceID(MIDI_MAPPER);
    m_OutDevice.Open(this);
}

void CTessaroView::OnInitialUpdate()
{
    switch (m_nViewMode) {
    case 1: OnViewKeyboard(); break;
    case 2: OnViewMidiInput(); break;
    case 3: OnViewHandSign(); break;
    default: break;
    }
    if (!m_bUseMIDIIn && m_OutDevice.QueryOpenDeviceID() != MIDI_NO_DEVICE)
        SendStartupDefaults();
    m_pDoc->m_strOpened.clear();
    m_pDoc->m_strLog.clear();
    m_pLogBuffer->DropPending();
    m_pLogBuffer->ForgetOpened();
    m_pLogEdit->clear();
    UpdateLogCaption();
    OnUpdate(TitleUpdate);
    m_MixerCheckTimer.start();
}

void CTessaroView::SendStartupDefaults()
{
    const auto ch = static_cast<uint8_t>(m_nChannel);
    // A patch of -1 means none: 0xFF as a data byte would read as System Reset.
    if (m_nPatch >= 0)
        m_OutDevice.SendShortMsg(MakeProgramChange(ch, static_cast<uint8_t>(m_nPatch)));
    m_OutDevice.SendShortMsg(MakeControlChange(ch, 7, 127));
    m_OutDevice.SendShortMsg(MakeControlChange(ch, 10, 64));
}

void CTessaroView::OnUpdate(int hint)
{
    switch (hint) {
    case LayoutChanged:
    case FrameMaximized:
    case FrameRestored:
        LayoutPanes();
        if (m_nViewMode == 1)
            LoadKeyboardBitmaps();
        else if (m_nViewMode == 2)
            SetLogFont(); // maximised for showing, the log is read from afar at once
        else if (m_nViewMode == 3)
            LoadHandSigns();
        // The set just loaded may have another size: place it again.
        LayoutPanes();
        break;
    case TitleUpdate:
        if (window())
            window()->setWindowTitle(m_pDoc->GetTitle() + QStringLiteral(" - ") +
                                     QApplication::applicationName());
        break;
    case SaveLogText:
        FlushLog();
        if (m_nViewMode == 2)
            m_pLogBuffer->Store();
        break;
    default:
        break;
    }
}

void CTessaroView::Shutdown()
{
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    Settings::Write(Settings::ViewMode, m_nViewMode);
    // Held PC keys and what the input left sounding get their note-offs
    // while the port is still open; the metronome's thread is gone before the
    // port closes.
    EndHeldPCKeys();
    EndMouseNote();
    EndInputNotes();
    m_pPCKeyboard->SetEnabled(false);
    m_pMetronome->Stop();
    m_pBeatMark->Stop();
    m_bMetronomeOn = 0;
    m_MixerCheckTimer.stop();
    m_LevelMeterTimer.stop();
    m_InDevice.Close();
    m_OutDevice.Close();
}

bool CTessaroView::IsFrameZoomed() const
{
    return window() && window()->isMaximized();
}

// --- Display modes ----------------------------------------------------------------

void CTessaroView::OnViewKeyboard()
{
    FlushLog();
    if (m_nViewMode == 2)
        m_pLogBuffer->Store();
    m_nViewMode = 1;
    LoadKeyboardBitmaps();
    LayoutPanes();
    m_pKeyboardPicture->show();
    m_pLogCaption->hide();
    m_pLogCaption->clear();
    m_pLogEdit->hide();
    m_pHandSignPicture->hide();
    ShowMixerControls();
    m_pKeyboardPicture->setFocus();
}

void CTessaroView::OnViewMidiInput()
{
    FlushLog();
    if (m_nViewMode != 2 || m_pLogEdit->isHidden())
        m_pLogBuffer->Show();
    m_nViewMode = 2;
    SetLogFont();
    LayoutPanes();
    m_pKeyboardPicture->hide();
    UpdateLogCaption();
    m_pLogCaption->show();
    TrimLog();
    SetLogTabStops();
    m_pLogEdit->show();
    m_pHandSignPicture->hide();
    m_pSliderCaption->hide();
    m_pVolumeSlider->hide();
    m_pLevelMeter->hide();
    m_pMuteCheck->hide();
    m_pLogEdit->setFocus();
}

void CTessaroView::OnViewHandSign()
{
    FlushLog();
    if (m_nViewMode == 2)
        m_pLogBuffer->Store();
    m_nViewMode = 3;
    LoadHandSigns();
    LayoutPanes();
    m_pLogCaption->clear();
    m_pLogEdit->hide();
    m_pLogCaption->hide();
    m_pKeyboardPicture->hide();
    m_pSliderCaption->hide();
    m_pVolumeSlider->hide();
    m_pLevelMeter->hide();
    m_pMuteCheck->hide();
    m_pHandSignPicture->show();
    setFocus();
}

void CTessaroView::LoadKeyboardBitmaps()
{
    m_pKeyboardPicture->LoadKeyboardBitmaps(PictureScale());
}

void CTessaroView::LoadHandSigns()
{
    m_pHandSignPicture->LoadHandSigns(PictureScale());
}

void CTessaroView::SetLogFont()
{
    const QFont& font = IsFrameZoomed() ? m_LogFontLarge : m_LogFontNormal;
    // Called on every resize in the log mode: a font set again would lay the
    // whole log out again.
    if (m_pLogEdit->font() != font)
        m_pLogEdit->setFont(font);
}

void CTessaroView::LayoutPanes()
{
    const int cy = height() / 2;
    const int sliderH = m_pVolumeSlider->height();
    const int captionH = m_pSliderCaption->height();

    // Maximised for a lesson, the keyboard with its mixer column and the
    // hand sign stand in the middle of the window; otherwise where the
    // template puts them.
    int shift = 0;
    const bool zoomed = IsFrameZoomed();
    if (zoomed) {
        const int left = qMin(qMin(m_pSliderCaption->x(), m_pVolumeSlider->x()),
                              qMin(m_pLevelMeter->x(), m_pMuteCheck->x())) - m_nPaneShiftX;
        const int right = m_pKeyboardPicture->x() + m_pKeyboardPicture->width() - m_nPaneShiftX;
        shift = qMax(0, (width() - (right - left)) / 2 - left);
    }
    const int dx = shift - m_nPaneShiftX;
    m_nPaneShiftX = shift;

    m_pSliderCaption->move(m_pSliderCaption->x() + dx, cy - sliderH / 2 - captionH - 10);
    m_pVolumeSlider->move(m_pVolumeSlider->x() + dx, cy - sliderH / 2);
    m_pLevelMeter->move(m_pLevelMeter->x() + dx, cy - m_pLevelMeter->height() / 2);
    m_pMuteCheck->move(m_pMuteCheck->x() + dx, cy + sliderH / 2 + m_pMuteCheck->height());
    m_pKeyboardPicture->move(m_pKeyboardPicture->x() + dx, cy - m_pKeyboardPicture->height() / 2);
    if (zoomed)
        m_pHandSignPicture->move(qMax(0, (width() - m_pHandSignPicture->width()) / 2),
                                 qMax(0, (height() - m_pHandSignPicture->height()) / 2));
    else
        m_pHandSignPicture->move(m_HandSignOrigin);

    const QRect edit = m_pLogEdit->geometry();
    m_pLogEdit->setGeometry(edit.left(), edit.top(), qMax(0, width() - 2 * edit.left()),
                            qMax(0, height() - 2 * edit.top() + captionH));
    PlaceBeatMark();
    update();
}

void CTessaroView::PlaceBeatMark()
{
    if (!m_pBeatMark)
        return;
    // Grows with the pictures, but a fitted picture does not make it a
    // second picture.
    m_pBeatMark->SetScale(qMin(PictureScale(), kMaxBeatMarkScale));
    // Top right, clear of the log's scroll bar; over every pane.
    int right = width() - kBeatMarkMargin;
    if (m_nViewMode == 2)
        right = m_pLogEdit->geometry().right() - m_pLogEdit->verticalScrollBar()->width() -
                kBeatMarkMargin;
    m_pBeatMark->move(right - m_pBeatMark->width(), kBeatMarkMargin);
    m_pBeatMark->raise();
}

void CTessaroView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    OnUpdate(LayoutChanged);
}

void CTessaroView::paintEvent(QPaintEvent*)
{
    // The etched edge under the toolbar: one highlight line when the toolbar is
    // docked above, shadow and highlight when it is not.
    QPainter p(this);
    const QPalette pal = palette();
    if (m_pFrame && m_pFrame->IsStandardToolbarDocked()) {
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(0, 0, width(), 0);
    } else {
        p.setPen(pal.color(QPalette::Mid));
        p.drawLine(0, 0, width(), 0);
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(0, 1, width(), 1);
    }
}

// --- The log ------------------------------------------------------------------------

QString CTessaroView::CurrentLogText() const
{
    auto* self = const_cast<CTessaroView*>(this);
    self->FlushLog();
    if (m_nViewMode == 2)
        self->m_pLogBuffer->Store();
    return m_pDoc->m_strOpened + m_pDoc->m_strLog;
}

void CTessaroView::SetLogText(const QString& logText)
{
    m_pLogBuffer->DropPending();
    QString opened = DumpLine::ToLogText(logText);
    // Lines logged after the file's last line start on a line of their own.
    if (!opened.isEmpty() && !opened.endsWith(DumpLine::kLineEnd))
        opened += DumpLine::kLineEnd;
    m_pDoc->m_strOpened = std::move(opened);
    m_pDoc->m_strLog.clear();
    m_pLogBuffer->ForgetOpened();
    if (m_nViewMode == 2) {
        m_pLogBuffer->Show();
        TrimLog();
        UpdateLogCaption();
    }
}

void CTessaroView::UpdateLogCaption()
{
    if (m_nViewMode != 2)
        return; // only the log pane has a caption
    const qsizetype hidden = m_pLogBuffer->HiddenOpenedLines();
    QString text = QStringLiteral("MIDI Input:");
    if (hidden > 0)
        text += (hidden == 1 ? QStringLiteral("   (the opened file's first line is kept and saved, "
                                              "not shown)")
                             : QStringLiteral("   (the opened file's first %L1 lines are kept and "
                                              "saved, not shown)")
                                   .arg(hidden));
    if (m_pLogCaption->text() == text)
        return;
    m_pLogCaption->setText(text);
    const CDialogUnits du(font());
    m_pLogCaption->resize(qMax(du.X(62), m_pLogCaption->sizeHint().width()), m_pLogCaption->height());
}

void CTessaroView::AppendDumpLine(uint32_t packedMsg)
{
    AppendLine(DumpLine::Build(packedMsg, m_nDumpAttributes, m_StartTime, m_dwStartTicks,
                               GetTickCountMs()));
}

void CTessaroView::AppendLogNote(const QString& text)
{
    AppendLine(text + DumpLine::kLineEnd);
}

void CTessaroView::AppendLine(const QString& line)
{
    if (m_nViewMode != 2) {
        CLogBuffer::AppendHidden(m_pDoc->m_strLog, line);
        return;
    }
    // Shown lines go in together on the next turn of the event loop.
    m_pLogBuffer->Queue(DumpLine::ToEditText(line));
    if (!m_bFlushQueued) {
        m_bFlushQueued = true;
        QMetaObject::invokeMethod(this, &CTessaroView::FlushLog, Qt::QueuedConnection);
    }
}

void CTessaroView::FlushLog()
{
    m_bFlushQueued = false;
    if (!m_pLogBuffer->HasPending())
        return;
    QTextCursor c(m_pLogEdit->document());
    c.setPosition(m_pLogBuffer->Flush());
    m_pLogEdit->setTextCursor(c);
    m_pLogEdit->ensureCursorVisible();
    UpdateLogCaption(); // room may have been made by the opened file's first lines
}

void CTessaroView::TrimLog()
{
    FlushLog();
    m_pLogBuffer->Trim();
    QTextCursor end(m_pLogEdit->document()->lastBlock());
    m_pLogEdit->setTextCursor(end);
    m_pLogEdit->ensureCursorVisible();
}

void CTessaroView::SetLogTabStops()
{
    // Four stops, at 43, 86, 129 and 172 dialog units; a tab past the last
    // one moves on by the edit's default spacing.
    const CDialogUnits du(font());
    QList<QTextOption::Tab> tabs;
    for (int stop : {43, 86, 129, 172})
        tabs.append(QTextOption::Tab(du.X(stop), QTextOption::LeftTab));
    QTextOption option = m_pLogEdit->document()->defaultTextOption();
    option.setTabs(tabs);
    m_pLogEdit->document()->setDefaultTextOption(option);
    m_pLogEdit->viewport()->update();
}

bool CTessaroView::LogEditHasFocus() const
{
    return m_pLogEdit->hasFocus();
}

void CTessaroView::OnEditCommand(unsigned id)
{
    if (!LogEditHasFocus())
        return;
    FlushLog();
    switch (id) {
    case ID_EDIT_UNDO: m_pLogEdit->undo(); break;
    case ID_EDIT_CUT: m_pLogEdit->cut(); break;
    case ID_EDIT_COPY: m_pLogEdit->copy(); break;
    case ID_EDIT_PASTE: m_pLogEdit->paste(); break;
    default: break;
    }
}

// --- Incoming MIDI and note output ------------------------------------------------

bool CTessaroView::event(QEvent* e)
{
    if (e->type() == CMidiDataEvent::MM_MIM_DATA) {
        OnMidiData(static_cast<CMidiDataEvent*>(e)->m_dwMsg);
        return true;
    }
    if (e->type() == CMidiPortLostEvent::MM_PORT_LOST) {
        // The device closed itself and waits for its port; the status bar
        // says so on the next update.
        if (!static_cast<CMidiPortLostEvent*>(e)->m_bOutput)
            EndInputNotes();
        if (m_pFrame)
            m_pFrame->UpdateCommandUI();
        return true;
    }
    if (e->type() == CMidiPortBackEvent::MM_PORT_BACK) {
        // A synthesizer that comes back starts from its own defaults: it
        // gets the channel set-up it got at start.
        if (static_cast<CMidiPortBackEvent*>(e)->m_bOutput && !m_bUseMIDIIn)
            SendStartupDefaults();
        if (m_pFrame)
            m_pFrame->UpdateCommandUI();
        return true;
    }
    return QWidget::event(e);
}

bool CTessaroView::IsFiltered(uint32_t packedMsg) const
{
    return m_Thru.IsFiltered(packedMsg);
}

void CTessaroView::OnMidiData(uint32_t packedMsg)
{
    const CThruPath::Route route = m_Thru.RouteIncoming(packedMsg);
    if (route.log)
        AppendDumpLine(packedMsg);
    if (route.pass)
        SendAndAnimate(*route.pass);
}

uint32_t CTessaroView::MakeNoteMessage(uint8_t note, bool on) const
{
    return m_Thru.MakeNoteMessage(note, on);
}

void CTessaroView::SendToOutput(uint32_t packedMsg)
{
    m_Thru.SendToOutput(packedMsg);
}

void CTessaroView::AnimateMessage(uint32_t packedMsg)
{
    // The melody's direction decides how a chromatic note reads, in every
    // pane, so it is followed before anything is drawn.
    const NoteEvent e = ReadNoteEvent(packedMsg);
    if (e.isNote && e.on)
        m_Solfege.NoteOn(ToDisplayNote(e.note));
    if (m_nViewMode == 1)
        m_pKeyboardPicture->DrawKeyboardMessage(packedMsg);
    else if (m_nViewMode == 3)
        m_pHandSignPicture->ShowHandSignMessage(packedMsg);
    else
        TrackKeySlot(packedMsg); // unseen in the log, shown when a picture comes back
}

void CTessaroView::SendAndAnimate(uint32_t packedMsg)
{
    SendToOutput(packedMsg);
    AnimateMessage(packedMsg);
}

void CTessaroView::EndInputNotes()
{
    m_Thru.EndInputNotes([this](uint32_t msg) { SendAndAnimate(msg); });
}

void CTessaroView::SendChannelSetup(int channel, int patch)
{
    const auto ch = static_cast<uint8_t>(channel);
    if (channel != 9 && patch >= 0)
        SendAndAnimate(MakeProgramChange(ch, static_cast<uint8_t>(patch)));
    SendAndAnimate(MakeControlChange(ch, 7, 127));
    SendAndAnimate(MakeControlChange(ch, 10, 64));
}

int CTessaroView::GetKeySlotIndex(int note) const
{
    const int d = ToDisplayNote(note);
    return (d >= 60 && d <= 72) ? d - 60 : -1;
}

void CTessaroView::OnMale()
{
    SetVoice(1);
}

void CTessaroView::OnFemale()
{
    SetVoice(0);
}

void CTessaroView::SetVoice(int male)
{
    if (m_bMale != male) {
        // The displays map notes through the voice: a key shown down under the
        // old voice would be released under the new one on another key and
        // stay down for good. Start the pictures afresh instead.
        for (CGUIKeySlot& slot : m_GUIKeySlots)
            slot.SetPressed(false);
        m_bMale = male;
        if (m_nViewMode == 1)
            LoadKeyboardBitmaps();
        else if (m_nViewMode == 3)
            LoadHandSigns();
    }
    Settings::Write(Settings::Male, male);
}

// --- Commands ------------------------------------------------------------------------

void CTessaroView::OnCommand(unsigned id)
{
    // A modal dialog takes the keyboard, and some of these close the output
    // port around it: end held PC-key notes while they can still be heard off.
    switch (id) {
    case ID_MIDI_SELECT_INPUT:
    case ID_MIDI_SELECT_OUTPUT:
    case ID_MIDI_SETUP_OUTPUT_DEFAULTS:
    case ID_MIDI_SETUP_FILTER:
    case ID_MIDI_SETUP_DUMP_FORMAT:
    case ID_MIDI_SETUP_METRONOME:
        EndHeldPCKeys();
        break;
    default:
        break;
    }
    switch (id) {
    case ID_VIEW_KEYBOARD: OnViewKeyboard(); break;
    case ID_VIEW_MIDI_INPUT: OnViewMidiInput(); break;
    case ID_VIEW_HAND_SIGN: OnViewHandSign(); break;
    case ID_EDIT_UNDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE: OnEditCommand(id); break;
    case ID_MIDI_SELECT_INPUT: OnSelectInputDevice(); break;
    case ID_MIDI_SELECT_OUTPUT: OnSelectOutputDevice(); break;
    case ID_MIDI_SETUP_OUTPUT_DEFAULTS: OnSetupOutputDefaults(); break;
    case ID_MIDI_SETUP_FILTER: OnSetupFilter(); break;
    case ID_MIDI_SETUP_DUMP_FORMAT: OnSetupDumpFormat(); break;
    case ID_PCKEY_MALE: OnMale(); break;
    case ID_PCKEY_FEMALE: OnFemale(); break;
    case ID_MIDI_TOGGLE_METRONOME: OnToggleMetronome(); break;
    case ID_MIDI_SETUP_METRONOME: OnSetupMetronome(); break;
    case ID_MIDI_CHROMATIC_SIGNS: OnChromaticSigns(); break;
    case ID_VIEW_KEY_LETTERS: OnKeyNames(m_nKeyNames == 1 ? 0 : 1); break;
    case ID_VIEW_KEY_SYLLABLES: OnKeyNames(m_nKeyNames == 2 ? 0 : 2); break;
    case ID_VIEW_FIT_PICTURES: OnFitPictures(); break;
    default:
        if (id >= ID_MIDI_TONIC_FIRST && id < ID_MIDI_TONIC_FIRST + 12)
            OnTonic(int(id - ID_MIDI_TONIC_FIRST));
        break;
    }
}

bool CTessaroView::IsCommandEnabled(unsigned id) const
{
    const bool logShown = m_nViewMode == 2;
    switch (id) {
    case ID_FILE_NEW:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_SETUP:
        return logShown;
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
        return logShown && LogEditHasFocus() && m_pLogEdit->textCursor().hasSelection();
    case ID_EDIT_PASTE: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return logShown && data && data->hasText();
    }
    case ID_EDIT_UNDO:
        return logShown && LogEditHasFocus() && m_pLogEdit->document()->isUndoAvailable();
    case ID_MIDI_SETUP_FILTER:
        return !logShown;
    case ID_MIDI_SELECT_INPUT:
        return MidiSystem::Backend().InputCount() > 0;
    case ID_MIDI_SELECT_OUTPUT:
        return MidiSystem::Backend().OutputCount() > 0;
    case ID_MIDI_SETUP_METRONOME:
        return !m_bMetronomeOn;
    case ID_VIEW_MIDI_TOOLBAR:
    case ID_MIDI_LOG_INPUT:
        return false;
    default:
        return true;
    }
}

bool CTessaroView::IsCommandChecked(unsigned id) const
{
    switch (id) {
    case ID_VIEW_KEYBOARD: return m_nViewMode == 1;
    case ID_VIEW_MIDI_INPUT: return m_nViewMode == 2;
    case ID_VIEW_HAND_SIGN: return m_nViewMode == 3;
    case ID_MIDI_TOGGLE_METRONOME: return m_bMetronomeOn != 0;
    case ID_PCKEY_MALE: return m_bMale != 0;
    case ID_PCKEY_FEMALE: return m_bMale == 0;
    case ID_MIDI_CHROMATIC_SIGNS: return m_bChromaticSigns != 0;
    case ID_VIEW_KEY_LETTERS: return m_nKeyNames == 1;
    case ID_VIEW_KEY_SYLLABLES: return m_nKeyNames == 2;
    case ID_VIEW_FIT_PICTURES: return m_bFitPictures != 0;
    default:
        if (id >= ID_MIDI_TONIC_FIRST && id < ID_MIDI_TONIC_FIRST + 12)
            return m_nTonic == int(id - ID_MIDI_TONIC_FIRST);
        return false;
    }
}

QString CTessaroView::DevicePaneText() const
{
    if (m_nViewMode == 1) {
        const uint32_t id = m_OutDevice.QueryOpenDeviceID();
        if (id == MIDI_NO_DEVICE)
            return QString();
        CMIDIOutCaps caps(id);
        return caps.Query() == MMSYSERR_NOERROR ? caps.szPname : QString();
    }
    if (m_nViewMode == 2) {
        const uint32_t id = m_InDevice.QueryOpenDeviceID();
        if (id == MIDI_NO_DEVICE)
            return QString();
        CMIDIInCaps caps(id);
        return caps.Query() == MMSYSERR_NOERROR ? caps.szPname : QString();
    }
    return QString();
}

QString CTessaroView::StatusMessage() const
{
    QStringList parts;
    if (m_OutDevice.IsWaitingForPort()) {
        if (m_OutDevice.m_nDeviceID == MIDI_MAPPER) {
            const QString problem = MidiSystem::Backend().OutputProblem(MIDI_MAPPER);
            parts << QStringLiteral("No sound from the synthesizer: %1")
                         .arg(problem.isEmpty() ? QStringLiteral("it could not start")
                                                : problem);
        } else {
            parts << QStringLiteral("MIDI output \"%1\" is disconnected; it reconnects when it returns.")
                         .arg(m_OutDevice.m_strDeviceName);
        }
    }
    if (m_InDevice.IsWaitingForPort())
        parts << QStringLiteral("MIDI input \"%1\" is disconnected; it reconnects when it returns.")
                     .arg(m_InDevice.m_strDeviceName);
    const uint64_t lost = m_nReportedInputLoss + m_nReportedOutputLoss;
    if (lost > 0)
        parts << QStringLiteral("%1 MIDI messages lost (see the log).").arg(lost);
    return parts.join(QStringLiteral("  "));
}

void CTessaroView::ReportLostMessages()
{
    const auto report = [this](uint64_t lost, uint64_t& reported, const char* where) {
        if (lost <= reported)
            return;
        AppendLogNote(QStringLiteral("*** %1 MIDI messages lost %2: more came than could be handled ***")
                          .arg(lost - reported)
                          .arg(QLatin1String(where)));
        reported = lost;
    };
    report(m_InDevice.LostMessages(), m_nReportedInputLoss, "at the input");
    report(m_OutDevice.LostMessages(), m_nReportedOutputLoss, "at the output");
}

QString CTessaroView::MetronomePaneText() const
{
    return QStringLiteral("MM %1 : %2").arg(m_nMM).arg(m_nPPM);
}
