#include "view/CPCKeyboard.h"

#include "view/IPCKeyHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <iterator>

namespace {

struct TableKey {
    int qtKey;
    int index;
    bool withShift; // also played with Shift (letters); digits are plain only
};

// Letters and digits, by the key Qt reports (which follows the keyboard
// layout, as the letters of a layout should; the digits count so only where
// the window system does not tell the key's place). Qt's codes for these keys
// are the table's key codes (Qt::Key_Q == 0x51).
constexpr TableKey kKeys[] = {
    {Qt::Key_1, 0, false},  {Qt::Key_Q, 1, true},   {Qt::Key_2, 2, false},
    {Qt::Key_W, 3, true},   {Qt::Key_3, 4, false},  {Qt::Key_E, 5, true},
    {Qt::Key_R, 6, true},   {Qt::Key_5, 7, false},  {Qt::Key_T, 8, true},
    {Qt::Key_6, 9, false},  {Qt::Key_Y, 10, true},  {Qt::Key_U, 11, true},
    {Qt::Key_8, 12, false}, {Qt::Key_I, 13, true},  {Qt::Key_9, 14, false},
    {Qt::Key_O, 15, true},  {Qt::Key_0, 16, false}, {Qt::Key_P, 17, true},
};

constexpr int kLastSlot = 18;
// The three keys of the last slot: "[" / "{" on US-like layouts, "å" / "Å" on
// Nordic ones, "õ" / "Õ" on Estonian ones, where they sit at the same place.
constexpr uint32_t kVkBracket = 0xDB, kVkAring = 0xDD, kVkOtilde = 0xBA;

// The last slot by the character typed: the same place on the keyboard types
// different characters by layout, so the character, not the key, decides.
uint32_t LastSlotKeyOfChar(const QString& text)
{
    if (text.size() != 1)
        return 0;
    switch (text.at(0).unicode()) {
    case u'[': case u'{': return kVkBracket;
    case 0xE5: case 0xC5: return kVkAring;  // å Å
    case 0xF5: case 0xD5: return kVkOtilde; // õ Õ
    default: return 0;
    }
}

uint32_t LastSlotKeyOfQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return kVkBracket;
    case Qt::Key_Aring: return kVkAring;
    case Qt::Key_Otilde: return kVkOtilde;
    default: return 0;
    }
}

const TableKey* FindKey(int qtKey)
{
    for (const TableKey& k : kKeys) {
        if (k.qtKey == qtKey)
            return &k;
    }
    return nullptr;
}

// The digit row by place: X keycodes 10..19 are the keys that type 1..9, 0 on
// a US keyboard (evdev codes 2..11 plus the X server's offset of 8).
constexpr quint32 kFirstDigitRowCode = 10;
constexpr int kDigitRowKeys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                 Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
constexpr quint32 kDigitRowCount = std::size(kDigitRowKeys);
// AltGr, the third level of a key, as X reports it on the common layouts.
constexpr quint32 kLevel3Mask = 0x80; // Mod5Mask

} // namespace

std::optional<CPCKeyboard::KeyRow> CPCKeyboard::DigitKeyAt(quint32 scanCode, const QString& text,
                                                            Qt::KeyboardModifiers modifiers,
                                                            quint32 nativeModifiers)
{
    if (scanCode < kFirstDigitRowCode || scanCode >= kFirstDigitRowCode + kDigitRowCount)
        return std::nullopt;
    if ((nativeModifiers & kLevel3Mask) || (modifiers & Qt::GroupSwitchModifier))
        return std::nullopt;
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier))
        return KeyRow{};
    const int qtKey = kDigitRowKeys[scanCode - kFirstDigitRowCode];
    const TableKey* k = FindKey(qtKey);
    if (!k)
        return KeyRow{}; // 4 and 7: no black key there
    // The digit itself needs Shift on some layouts; other shifted characters
    // of the row are text.
    if ((modifiers & Qt::ShiftModifier) &&
        (text.size() != 1 || text.at(0).unicode() != static_cast<char16_t>(qtKey)))
        return KeyRow{};
    return KeyRow{k->index, static_cast<uint32_t>(k->qtKey)};
}

CPCKeyboard::KeyRow CPCKeyboard::RowForPress(int qtKey, const QString& text,
                                             Qt::KeyboardModifiers modifiers, quint32 scanCode,
                                             quint32 nativeModifiers)
{
    // Ctrl+1 and the like are commands (or nothing), never notes.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    if (const auto digitRow = DigitKeyAt(scanCode, text, modifiers, nativeModifiers))
        return *digitRow;
    if (const uint32_t vk = LastSlotKeyOfChar(text))
        return {kLastSlot, vk};
    if (modifiers & Qt::KeypadModifier)
        return {};
    if (const TableKey* k = FindKey(qtKey)) {
        if ((modifiers & Qt::ShiftModifier) && !k->withShift)
            return {};
        return {k->index, static_cast<uint32_t>(k->qtKey)};
    }
    if (const uint32_t vk = LastSlotKeyOfQtKey(qtKey))
        return {kLastSlot, vk};
    return {};
}

CPCKeyboard::KeyRow CPCKeyboard::RowForRelease(int qtKey, const QString& text)
{
    if (const uint32_t vk = LastSlotKeyOfChar(text))
        return {kLastSlot, vk};
    if (const TableKey* k = FindKey(qtKey))
        return {k->index, static_cast<uint32_t>(k->qtKey)};
    if (const uint32_t vk = LastSlotKeyOfQtKey(qtKey))
        return {kLastSlot, vk};
    return {};
}

uint32_t CPCKeyboard::KeyIdentity(const QKeyEvent& e, const KeyRow& row)
{
    // The scan code names the physical key whatever Shift did to its
    // character between press and release ("{" goes down, "[" comes up).
    if (e.nativeScanCode() != 0)
        return e.nativeScanCode();
    return kTableKeyFlag | row.virtKey;
}

CPCKeyboard::CPCKeyboard(IPCKeyHost& host, QObject* parent)
    : QObject(parent)
    , m_Host(host)
{
    m_SettleTimer.setSingleShot(true);
    m_SettleTimer.setTimerType(Qt::PreciseTimer);
    m_SettleTimer.setInterval(kReleaseSettleMs);
    connect(&m_SettleTimer, &QTimer::timeout, this, &CPCKeyboard::EndSettledReleases);
    qApp->installEventFilter(this);
}

CPCKeyboard::~CPCKeyboard()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool CPCKeyboard::IsMainWindow(QObject* o) const
{
    return o == m_Host.KeyWindow();
}

bool CPCKeyboard::TakesKeysFor(QObject* receiver) const
{
    QWidget* main = m_Host.KeyWindow();
    if (QApplication::activeWindow() != main || QApplication::activePopupWidget() ||
        QApplication::activeModalWidget())
        return false;
    // A key event reaches the window first, then the focus widget.
    if (receiver->isWidgetType())
        return static_cast<QWidget*>(receiver)->window() == main;
    if (receiver->isWindowType())
        return static_cast<QWindow*>(receiver) == main->windowHandle();
    return false;
}

bool CPCKeyboard::eventFilter(QObject* watched, QEvent* e)
{
    // After the view's shutdown its port and parts are going or gone.
    if (!m_bEnabled)
        return false;
    // Every event of the application passes here: decide by type first.
    switch (e->type()) {
    case QEvent::KeyPress:
        return OnKeyPress(watched, *static_cast<QKeyEvent*>(e));
    case QEvent::KeyRelease:
        return OnKeyRelease(*static_cast<QKeyEvent*>(e));
    case QEvent::WindowDeactivate: // another window, or none of ours, took the keyboard
    case QEvent::WindowBlocked:    // a modal dialog opened over the main window
    case QEvent::Hide:
        if (IsMainWindow(watched))
            ReleaseHeldKeys();
        break;
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent*>(e)->reason() == Qt::ActiveWindowFocusReason &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_Host.KeyWindow())
            ReleaseHeldKeys();
        break;
    case QEvent::ApplicationDeactivate:
        ReleaseHeldKeys();
        break;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(e)->applicationState() !=
            Qt::ApplicationActive)
            ReleaseHeldKeys();
        break;
    default:
        break;
    }
    return false;
}

bool CPCKeyboard::OnKeyPress(QObject* receiver, const QKeyEvent& e)
{
    const KeyRow row =
        RowForPress(e.key(), e.text(), e.modifiers(), e.nativeScanCode(), e.nativeModifiers());
    if (row.index < 0 || !TakesKeysFor(receiver))
        return false;
    const auto index = static_cast<unsigned>(row.index);
    const uint32_t key = KeyIdentity(e, row);
    if (m_bReleasePending[index] && m_Host.GetPCKeySlots()[index].m_nVirtKey == key) {
        m_bReleasePending[index] = false;
        // The second half of an auto-repeat pair: the key never came up.
        if (e.timestamp() == m_nReleaseTime[index])
            return true;
        // Struck again: the old note ends before the new one starts.
        EndNote(index);
    }
    // Auto-repeat and a second key of the last slot reach the slot while it is
    // held and add nothing there; they are taken all the same, so that a
    // control never sees half of a note key.
    m_Host.OnPCKeyNote(index, key);
    return true;
}

bool CPCKeyboard::OnKeyRelease(const QKeyEvent& e)
{
    uint32_t key = e.nativeScanCode();
    if (key == 0) {
        const KeyRow row = RowForRelease(e.key(), e.text());
        if (row.index < 0)
            return false;
        key = KeyIdentity(e, row);
    }
    for (unsigned i = 0; i < kSlotCount; ++i) {
        const CMIDIPCKeySlot& slot = m_Host.GetPCKeySlots()[i];
        if (!slot.IsHeld() || slot.m_nVirtKey != key)
            continue;
        // The release half of an auto-repeat pair: the key is still down.
        if (e.isAutoRepeat())
            return true;
        if (e.nativeScanCode() == 0) {
            // Not from the window system: no repeat pair can follow.
            EndNote(i);
            return true;
        }
        m_bReleasePending[i] = true;
        m_nReleaseTime[i] = e.timestamp();
        m_SettleTimer.start();
        return true;
    }
    return false;
}

void CPCKeyboard::EndNote(unsigned index)
{
    m_bReleasePending[index] = false;
    CMIDIPCKeySlot& slot = m_Host.GetPCKeySlots()[index];
    if (!slot.IsHeld())
        return;
    const uint32_t key = slot.m_nVirtKey;
    const uint32_t note = slot.m_nNote;
    slot.Reset();
    m_Host.OnPCKeyReleased(key, note);
}

void CPCKeyboard::EndSettledReleases()
{
    for (unsigned i = 0; i < kSlotCount; ++i) {
        if (m_bReleasePending[i])
            EndNote(i);
    }
}

void CPCKeyboard::ReleaseHeldKeys()
{
    m_SettleTimer.stop();
    for (unsigned i = 0; i < kSlotCount; ++i)
        EndNote(i);
}
