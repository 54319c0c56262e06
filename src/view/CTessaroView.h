#pragma once
// The form view: the hub of the program. It owns the MIDI ports, the settings
// and the panes (keyboard, log, hand sign), and wires the components behind
// them: the thru path, the log buffer, the pictures and the PC keyboard, each
// of which knows only the small part of the view it needs.
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "mixer/CMixer.h"
#include "view/CGUIKeySlot.h"
#include "view/CLogBuffer.h"
#include "view/CMIDIPCKeySlot.h"
#include "view/CThruPath.h"
#include "view/CViewSettings.h"
#include "view/IKeyPaneHost.h"
#include "view/IPCKeyHost.h"
#include "view/Solfege.h"

#include <QDateTime>
#include <QFont>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CLogDocument;
class IViewFrame;
class CKeyboardPane;
class CHandSignPane;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QSlider;
class CMetronome;
class CBeatMark;
class CPCKeyboard;

class CTessaroView : public QWidget,
                     public CViewSettings,
                     public IKeyboardPaneHost,
                     public IPCKeyHost {
    Q_OBJECT
public:
    // Update hints sent by the frame and the document.
    enum Hint { LayoutChanged = 1, FrameMaximized = 2, FrameRestored = 3, TitleUpdate = 4,
                SaveLogText = 5 };

    CTessaroView(CLogDocument* doc, IViewFrame* frame, QWidget* parent = nullptr);
    ~CTessaroView() override;

    // Opens the stored MIDI ports (input first, then output or the synthesizer).
    void RestoreDevices();
    void OnInitialUpdate();
    void OnUpdate(int hint);
    // Stops everything that runs on its own before the window goes.
    void Shutdown();

    // Commands, by id; the frame routes its actions here.
    void OnCommand(unsigned id);
    bool IsCommandEnabled(unsigned id) const;
    bool IsCommandChecked(unsigned id) const;
    // Texts of the status-bar panes 2502 (device) and 2503 (metronome).
    QString DevicePaneText() const;
    QString MetronomePaneText() const;
    // What the message pane says beside "Ready": a port that is gone and
    // awaited, a synthesizer that cannot sound and why. Empty when all is well.
    QString StatusMessage() const;
    // Looks whether the ports lost messages since the last look (a flood
    // beyond what their buffers hold); if so, says so in the log. Called with
    // every update of the command states.
    void ReportLostMessages();

    // Display modes
    void OnViewKeyboard();
    void OnViewMidiInput();
    void OnViewHandSign();
    void LayoutPanes();
    void LoadKeyboardBitmaps();
    void LoadHandSigns();
    void SetLogFont();

    // The log
    void AppendDumpLine(uint32_t packedMsg);
    // A line of the program's own among the messages (CR LF added).
    void AppendLogNote(const QString& text);
    // Lines logged while the log shows reach the edit in one insertion per turn
    // of the event loop; this puts any that wait there now.
    void FlushLog();
    void TrimLog();
    void SetLogTabStops();
    // The whole log as the document would save it (CR LF line ends).
    QString CurrentLogText() const;
    // Replaces the log with an opened file's text, which the log's limits
    // never cut.
    void SetLogText(const QString& logText);

    // Incoming MIDI and note output
    bool IsFiltered(uint32_t packedMsg) const;
    void OnMidiData(uint32_t packedMsg);
    uint32_t MakeNoteMessage(uint8_t note, bool on) const;
    void SendToOutput(uint32_t packedMsg);
    void AnimateMessage(uint32_t packedMsg);
    void SendAndAnimate(uint32_t packedMsg);
    void SendChannelSetup(int channel, int patch);
    // Note-offs (and sustain off) at the output for what the input passed on
    // and did not end: the input went away, changed or the program quits.
    void EndInputNotes();
    void OnSelectInputDevice();
    void OnSelectOutputDevice();
    void OnSetupOutputDefaults();
    void OnSetupFilter();
    void OnSetupDumpFormat();

    // Voice of the PC keyboard
    void OnMale();
    void OnFemale();
    void SetVoice(int male);
    int ToVoiceNote(int note) const { return m_bMale ? note - 12 : note; }
    int ToDisplayNote(int note) const override { return m_bMale ? note + 12 : note; }
    int GetKeySlotIndex(int note) const override;

    // The PC keyboard: a key of slot `index` went down / the key holding a
    // slot came up with the note its press started (TessaroViewPCKeys.cpp).
    void OnPCKeyNote(unsigned index, uint32_t nVirtKey) override;
    void OnPCKeyReleased(uint32_t nVirtKey, uint32_t note) override;
    // Ends every note held on the PC keyboard now.
    void EndHeldPCKeys();

    // The keyboard picture played with the mouse, and the key states both
    // pictures share (TessaroViewKeyboardPane.cpp). Points are in the view's
    // coordinates; the handlers act only while the keyboard pane shows.
    int HitTestKeyboard(const QPoint& point) const;
    void OnLButtonDown(const QPoint& point) override;
    void OnLButtonUp() override;
    void OnMouseMove(const QPoint& point, bool leftButtonDown) override;
    // Ends the note held with the mouse, if any, whatever the pane shows.
    void EndMouseNote() override;
    // Records a note-on or note-off in m_GUIKeySlots.
    void TrackKeySlot(uint32_t packedMsg) override;
    int m_nMouseNote = -1;

    // The lesson's settings (TessaroViewLesson.cpp): the tonic of movable
    // do, the chromatic signs, the names on held keys and the picture scale.
    void OnTonic(int tonic);
    void OnChromaticSigns();
    void OnKeyNames(int names);
    void OnFitPictures();
    // The scale the pictures are shown at: 1 normal, 2 maximised, and with
    // the pictures fitted the largest that the window holds for the pane
    // that shows.
    int PictureScale() const;
    QString KeyLabel(int displayNote) const override;
    const CSolfege& Solfege() const { return m_Solfege; }

    // The metronome (TessaroViewMetronome.cpp)
    void OnToggleMetronome();
    void OnSetupMetronome();
    CMetronome& Metronome() const { return *m_pMetronome; }
    // The beat made visible, in the top right corner in every pane while
    // the metronome runs.
    CBeatMark* BeatMark() const { return m_pBeatMark; }

    bool IsFrameZoomed() const;
    CLogDocument* GetDocument() const { return m_pDoc; }

    // The mixer (TessaroViewMixer.cpp): set up on timer 2004 after the
    // initial update, then the slider sets the synthesizer's volume, the box
    // its mute, and timer 2003 shows its level.
    void OnMixerCheckTimer();
    void OnVolumeSliderScroll();
    void OnMuteClicked();
    void OnLevelMeterTimer();
    // In keyboard mode: the caption and slider, the meter and the box where
    // the line has them.
    void ShowMixerControls();
    CMixer m_Mixer;
    uint32_t m_dwSynthLineID = 0xFFFFFFFFu;
    uint32_t m_dwSpeakersLineID = 0xFFFFFFFFu;
    uint32_t m_dwVolumeControlID = 0xFFFFFFFFu;
    uint32_t m_dwVolumeMin = 0;
    uint32_t m_dwVolumeMax = 0;
    uint32_t m_dwMuteControlID = 0xFFFFFFFFu;
    uint32_t m_dwMeterControlID = 0xFFFFFFFFu;
    uint32_t m_dwMeterMin = 0;
    uint32_t m_dwMeterMax = 0;
    QTimer m_MixerCheckTimer; // 2004
    QTimer m_LevelMeterTimer; // 2003

    // The settings are the members of CViewSettings, read at construction.

    // Metronome state
    int m_bMetronomeOn = 0;

    // Origin of the log's times
    QDateTime m_StartTime;
    uint32_t m_dwStartTicks = 0;

    CMIDIInDevice m_InDevice;
    CMIDIOutDevice m_OutDevice;
    GUIKeySlots m_GUIKeySlots;
    PCKeySlots m_PCKeySlots;

    // Controls of the form, by their ids
    QPlainTextEdit* m_pLogEdit = nullptr;       // 1026
    QLabel* m_pLogCaption = nullptr;            // 1025
    CKeyboardPane* m_pKeyboardPicture = nullptr; // 1033
    CHandSignPane* m_pHandSignPicture = nullptr; // 1076
    QSlider* m_pVolumeSlider = nullptr;         // 1023
    QProgressBar* m_pLevelMeter = nullptr;      // 1018
    QLabel* m_pSliderCaption = nullptr;         // 1030
    QCheckBox* m_pMuteCheck = nullptr;          // 1077

    QSize sizeHint() const override { return m_formSize; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // Pressed beside the keyboard picture and dragged onto it (TessaroViewKeyboardPane.cpp).
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // What the pictures and the PC keyboard see of the view.
    const GUIKeySlots& KeyStates() const override { return m_GUIKeySlots; }
    PCKeySlots& GetPCKeySlots() override { return m_PCKeySlots; }
    QWidget* KeyWindow() const override { return window(); }

    void CreateControls();
    void CreateMixerTimers();
    void SendStartupDefaults();
    // "MIDI Input:", and how many lines of an opened file are not shown.
    void UpdateLogCaption();
    void AppendLine(const QString& line);
    bool LogEditHasFocus() const;
    void OnEditCommand(unsigned id);

    static constexpr int kMaxBeatMarkScale = 4;
    static constexpr int kBeatMarkMargin = 6;
    void PlaceBeatMark();
    // Reloads the pane that shows after a lesson setting changed.
    void ReloadPictures();
    // The largest scale at which a picture of the normal size `picture`
    // (plus `beside` unscaled pixels to its left) fits the view, at least 2.
    int FitScale(QSize picture, int beside) const;

    CLogDocument* m_pDoc;
    IViewFrame* m_pFrame;
    QFont m_LogFontNormal;
    QFont m_LogFontLarge;
    QSize m_formSize;
    bool m_bShutDown = false;
    CThruPath m_Thru{*this, m_OutDevice};
    CSolfege m_Solfege;
    // How far the keyboard pane and the mixer controls stand right of their
    // template places (centred in a maximised window).
    int m_nPaneShiftX = 0;
    QPoint m_HandSignOrigin;
    std::unique_ptr<CLogBuffer> m_pLogBuffer; // on the log edit's document
    bool m_bFlushQueued = false;
    uint64_t m_nReportedInputLoss = 0;
    uint64_t m_nReportedOutputLoss = 0;
    // Declared after m_OutDevice, which the metronome sends to: gone before it.
    std::unique_ptr<CMetronome> m_pMetronome;
    CPCKeyboard* m_pPCKeyboard = nullptr;
    CBeatMark* m_pBeatMark = nullptr; // deleted before the metronome it reads
};
