#pragma once
// The PC keyboard as a small piano: the letter row from Q plays the white keys,
// the digit row above it the black keys between them, 19 chromatic notes.
//
// The keys are taken like accelerators, before any control of the main window
// sees them, by an application-wide event filter that acts only while the main
// window is the active window (in a modal dialog or a menu the keys are
// theirs). A key's own key-up ends its note; auto-repeat adds nothing. Because
// a key-up can go missing (the window loses the focus, a dialog opens, the
// application is left, the program quits), every held note is also ended at
// that moment.
//
// The letters are taken by the letter typed, so a layout moves them with its
// letters; the digit row is taken by its place, as layouts such as AZERTY type
// no digits there without Shift.
//
// X11 sends a held key's auto-repeat as key-up and key-down pairs with one
// time stamp, and Qt does not always see the pair coming and flag it. So a
// key-up from the window system ends its note only when no key-down of the
// same key with the same time stamp follows within kReleaseSettleMs.
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <optional>

class IPCKeyHost;
class QKeyEvent;

class CPCKeyboard : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kSlotCount = 19;
    // The note of slot 0 for the female voice (F#3); slot i plays kFirstNote + i.
    static constexpr int kFirstNote = 54;
    // Marks a key named by its table key code rather than by a scan code
    // (synthetic events carry none); scan codes stay below it.
    static constexpr uint32_t kTableKeyFlag = 0x10000;
    // How long a key-up waits for the key-down of an auto-repeat pair. The
    // pair arrives together; this only covers the two being read apart.
    static constexpr int kReleaseSettleMs = 10;

    struct KeyRow {
        int index = -1;       // slot, -1 for a key that plays nothing
        uint32_t virtKey = 0; // the key code of the table (0x51 for Q, 0xDB for "[" ...)
    };

    // The slot a key press plays: Q W E R T Y U I O P plain or with Shift, and
    // for the last slot the typed characters "[" "{" "å" "Å" "õ" "Õ". The
    // black keys are the digit row's 1 2 3 5 6 8 9 0: by the key's place when
    // the window system names it (scanCode, see DigitKeyAt), else by the digit
    // typed, plain only. Combinations with Ctrl, Alt or Meta, keypad digits,
    // 4 and 7 play nothing.
    static KeyRow RowForPress(int qtKey, const QString& text, Qt::KeyboardModifiers modifiers,
                              quint32 scanCode = 0, quint32 nativeModifiers = 0);
    // A key of the digit row found by its place, whatever the layout types
    // there (AZERTY's & é " ' ( - è _ ç à): the X keycodes 10..19, evdev's
    // 1..0, which Qt's xcb and Wayland platforms report as the scan code.
    // Plain it plays; with Shift only where Shift types the key's own digit,
    // as on AZERTY (elsewhere Shift types ! @ # ..., text as it always was);
    // never with Ctrl, Alt or Meta.
    // index -1 for a key of the row that plays nothing. nullopt for a key
    // elsewhere, and with AltGr (the X modifier Mod5 in nativeModifiers),
    // whose characters decide as they always did: QWERTZ's AltGr+8 types the
    // last slot's "[", AZERTY's AltGr+à an "@" that plays nothing.
    static std::optional<KeyRow> DigitKeyAt(quint32 scanCode, const QString& text,
                                            Qt::KeyboardModifiers modifiers,
                                            quint32 nativeModifiers);
    // The slot a released key belongs to, whatever the modifiers are by now.
    static KeyRow RowForRelease(int qtKey, const QString& text);
    // The name of the physical key an event comes from: its native scan code,
    // or for events without one the table's key code with kTableKeyFlag.
    static uint32_t KeyIdentity(const QKeyEvent& e, const KeyRow& row);

    CPCKeyboard(IPCKeyHost& host, QObject* parent);
    ~CPCKeyboard() override;

    // Ends every held note now (also used before the view runs a dialog).
    void ReleaseHeldKeys();
    // Off after the view has shut down: keys are plain keys again.
    void SetEnabled(bool enabled) { m_bEnabled = enabled; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool OnKeyPress(QObject* receiver, const QKeyEvent& e);
    bool OnKeyRelease(const QKeyEvent& e);
    bool TakesKeysFor(QObject* receiver) const;
    bool IsMainWindow(QObject* o) const;
    void EndNote(unsigned index);
    void EndSettledReleases();

    IPCKeyHost& m_Host;
    bool m_bEnabled = true;
    // Key-ups waiting to be confirmed, by slot, with their time stamps.
    std::array<bool, kSlotCount> m_bReleasePending{};
    std::array<quint64, kSlotCount> m_nReleaseTime{};
    QTimer m_SettleTimer;
};
