// The PC keyboard as an instrument: the key table in both voices, keys that
// play nothing, auto-repeat, the shared last slot, the digit row by its place
// on French, German, Swedish and Czech layouts, and every held note ending
// even when its key-up can no longer come.
#include "ViewFixture.h"

#include "res/ResourceIds.h"
#include "view/CPCKeyboard.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

struct KeyStroke {
    int key;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

class PCKeyboardTest : public ViewFixture {
protected:
    void SetUp() override
    {
        ViewFixture::SetUp();
        StartShown();
    }

    // Key events go where the window system would send them: the focus widget.
    static void Send(QEvent::Type type, const KeyStroke& k, bool autoRepeat = false,
                     quint32 scanCode = 0, QWidget* target = nullptr, quint64 timestamp = 0)
    {
        QKeyEvent e(type, k.key, k.modifiers, scanCode, 0, 0, k.text, autoRepeat);
        e.setTimestamp(timestamp);
        if (!target)
            target = QApplication::focusWidget();
        QApplication::sendEvent(target ? target : QApplication::activeWindow(), &e);
    }
    static void Press(const KeyStroke& k, bool autoRepeat = false, quint32 scanCode = 0)
    {
        Send(QEvent::KeyPress, k, autoRepeat, scanCode);
    }
    static void Release(const KeyStroke& k, bool autoRepeat = false, quint32 scanCode = 0)
    {
        Send(QEvent::KeyRelease, k, autoRepeat, scanCode);
    }
    static void Stroke(const KeyStroke& k, QWidget* target = nullptr)
    {
        Send(QEvent::KeyPress, k, false, 0, target);
        Send(QEvent::KeyRelease, k, false, 0, target);
    }
    // A key-up from the window system is confirmed a moment later.
    bool SentBecomes(const Msgs& expected) const
    {
        kvtest::WaitFor([&] { return Sent() == expected; }, 1000);
        return Sent() == expected;
    }
    bool AnyHeld() const
    {
        return std::any_of(m_pView->m_PCKeySlots.begin(), m_pView->m_PCKeySlots.end(),
                           [](const CMIDIPCKeySlot& s) { return s.IsHeld(); });
    }
};

// A key as Qt's xcb platform delivers it: the X keycode (the key's place) as
// the scan code, the key and text of the layout, X's modifier state.
struct XKey {
    quint32 scanCode;
    int key;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    quint32 nativeModifiers = 0;
};
constexpr quint32 kXShift = 0x01, kXAltGr = 0x80;
const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;

XKey Shifted(quint32 scanCode, int key, const QString& text)
{
    return {scanCode, key, text, kShift, kXShift};
}
XKey AltGr(quint32 scanCode, int key, const QString& text)
{
    return {scanCode, key, text, Qt::GroupSwitchModifier, kXAltGr};
}

class PCKeyboardXTest : public PCKeyboardTest {
protected:
    void SendX(QEvent::Type type, const XKey& k, bool autoRepeat = false)
    {
        QKeyEvent e(type, k.key, k.modifiers, k.scanCode, 0, k.nativeModifiers, k.text, autoRepeat);
        // X gives every event a time of its own, except a repeat pair.
        if (!autoRepeat || type == QEvent::KeyRelease)
            m_nTime += 20;
        e.setTimestamp(m_nTime);
        QWidget* target = QApplication::focusWidget();
        QApplication::sendEvent(target ? target : QApplication::activeWindow(), &e);
    }
    void PressX(const XKey& k, bool autoRepeat = false) { SendX(QEvent::KeyPress, k, autoRepeat); }
    void ReleaseX(const XKey& k, bool autoRepeat = false) { SendX(QEvent::KeyRelease, k, autoRepeat); }

    quint64 m_nTime = 1000;
};

const KeyStroke kQ{Qt::Key_Q, "q"};
const KeyStroke kR{Qt::Key_R, "r"};
const KeyStroke kBracket{Qt::Key_BracketLeft, "["};

} // namespace

TEST_F(PCKeyboardTest, EveryTableKeyPlaysItsNoteInBothVoices)
{
    // Slot by slot, F#3 upwards; the last slot by each of its characters.
    const std::vector<std::pair<KeyStroke, int>> keys = {
        {{Qt::Key_1, "1"}, 0},  {{Qt::Key_Q, "q"}, 1},  {{Qt::Key_2, "2"}, 2},
        {{Qt::Key_W, "w"}, 3},  {{Qt::Key_3, "3"}, 4},  {{Qt::Key_E, "e"}, 5},
        {{Qt::Key_R, "r"}, 6},  {{Qt::Key_5, "5"}, 7},  {{Qt::Key_T, "t"}, 8},
        {{Qt::Key_6, "6"}, 9},  {{Qt::Key_Y, "y"}, 10}, {{Qt::Key_U, "u"}, 11},
        {{Qt::Key_8, "8"}, 12}, {{Qt::Key_I, "i"}, 13}, {{Qt::Key_9, "9"}, 14},
        {{Qt::Key_O, "o"}, 15}, {{Qt::Key_0, "0"}, 16}, {{Qt::Key_P, "p"}, 17},
        // Shift plays the letters too.
        {{Qt::Key_Q, "Q", Qt::ShiftModifier}, 1},
        {{Qt::Key_P, "P", Qt::ShiftModifier}, 17},
        {{Qt::Key_BracketLeft, "["}, 18},
        {{Qt::Key_BraceLeft, "{", Qt::ShiftModifier}, 18},
        {{Qt::Key_Aring, QString(QChar(0xE5))}, 18},
        {{Qt::Key_Aring, QString(QChar(0xC5)), Qt::ShiftModifier}, 18},
        {{Qt::Key_Otilde, QString(QChar(0xF5))}, 18},
        {{Qt::Key_Otilde, QString(QChar(0xD5)), Qt::ShiftModifier}, 18},
    };
    for (const unsigned voice : {ID_PCKEY_FEMALE, ID_PCKEY_MALE}) {
        Command(voice);
        const int first = voice == ID_PCKEY_MALE ? 42 : 54;
        Msgs expected;
        for (const auto& [k, index] : keys) {
            Stroke(k);
            expected.push_back(On(first + index));
            expected.push_back(Off(first + index));
        }
        EXPECT_EQ(Sent(), expected) << (voice == ID_PCKEY_MALE ? "male" : "female");
        EXPECT_FALSE(AnyHeld());
        m_pMidi->ClearSent();
    }
}

TEST_F(PCKeyboardTest, KeysThatPlayNothingReachTheFocusedControlAndNoteKeysDoNot)
{
    Command(ID_VIEW_MIDI_INPUT);
    ASSERT_EQ(QApplication::focusWidget(), m_pView->m_pLogEdit);
    m_pView->m_pLogEdit->clear();
    // No black key between B and C or E and F; Shift+digit, Ctrl+digit,
    // Ctrl+letter and keypad digits are not notes.
    const std::vector<KeyStroke> silent = {
        {Qt::Key_4, "4"},
        {Qt::Key_7, "7"},
        {Qt::Key_Exclam, "!", Qt::ShiftModifier},
        {Qt::Key_1, "!", Qt::ShiftModifier},
        {Qt::Key_1, "", Qt::ControlModifier},
        {Qt::Key_Q, "", Qt::ControlModifier},
        {Qt::Key_1, "1", Qt::KeypadModifier},
    };
    for (const KeyStroke& k : silent)
        Stroke(k);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), "47!!1");

    // A note key is taken before the edit sees it, like an accelerator.
    Stroke(kQ);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), "47!!1");
}

TEST_F(PCKeyboardTest, AutoRepeatOfAHeldKeyAddsNothingButAQuickSecondStrokeDoes)
{
    // Without scan codes (synthetic events) and with them (as from X11,
    // whose auto-repeat comes as release and press pairs, here flagged).
    for (const quint32 scan : {0u, 24u}) {
        Press(kQ, false, scan);
        for (int i = 0; i < 5; ++i) {
            Release(kQ, true, scan);
            Press(kQ, true, scan);
        }
        EXPECT_EQ(Sent(), Msgs{On(55)}) << scan;
        Release(kQ, false, scan);
        EXPECT_TRUE(SentBecomes({On(55), Off(55)})) << scan;
        m_pMidi->ClearSent();
    }

    // X11 auto-repeat as Qt may pass it on: key-up and key-down with one
    // time stamp, neither flagged, each pair read by itself.
    const quint32 scan = 24;
    Send(QEvent::KeyPress, kQ, false, scan, nullptr, 1000);
    for (quint64 t = 1500; t < 1700; t += 40) {
        Send(QEvent::KeyRelease, kQ, false, scan, nullptr, t);
        kvtest::Drain();
        Send(QEvent::KeyPress, kQ, false, scan, nullptr, t);
    }
    EXPECT_TRUE(SentBecomes({On(55)}));
    QTest::qWait(3 * CPCKeyboard::kReleaseSettleMs);
    EXPECT_EQ(Sent(), Msgs{On(55)});

    // Up and down again at once, but at another moment: a new stroke.
    Send(QEvent::KeyRelease, kQ, false, scan, nullptr, 2000);
    Send(QEvent::KeyPress, kQ, false, scan, nullptr, 2003);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55), On(55)}));
    Send(QEvent::KeyRelease, kQ, false, scan, nullptr, 2500);
    EXPECT_TRUE(SentBecomes({On(55), Off(55), On(55), Off(55)}));
}

TEST_F(PCKeyboardTest, TheNoteEndedIsTheOneStartedWhateverChangedMeanwhile)
{
    const KeyStroke aring{Qt::Key_Aring, QString(QChar(0xE5))};
    Press(kBracket);
    Press(aring);
    Release(aring);
    // The note belongs to the key that started it.
    EXPECT_EQ(Sent(), Msgs{On(72)});
    Release(kBracket);
    EXPECT_EQ(Sent(), (Msgs{On(72), Off(72)}));
    m_pMidi->ClearSent();

    // "{" goes down with Shift, Shift comes up first, "[" comes up: the same key.
    const KeyStroke brace{Qt::Key_BraceLeft, "{", Qt::ShiftModifier};
    for (const quint32 scan : {0u, 34u}) {
        Press(brace, false, scan);
        Release(kBracket, false, scan);
        EXPECT_TRUE(SentBecomes({On(72), Off(72)})) << scan;
        m_pMidi->ClearSent();
    }
    EXPECT_FALSE(AnyHeld());

    // A voice change or Ctrl while a key is held: still the note it started ends.
    Press(kR);
    Command(ID_PCKEY_MALE);
    Release(kR);
    Stroke(kR);
    Press(kQ);
    Release({Qt::Key_Q, "", Qt::ControlModifier});
    EXPECT_EQ(Sent(), (Msgs{On(60), Off(60), On(48), Off(48), On(43), Off(43)}));
}

TEST_F(PCKeyboardTest, AnotherWindowOrLeavingTheApplicationEndsHeldNotes)
{
    Press(kQ);
    Press(kR);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(Sent(), (Msgs{On(55), On(60), Off(55), Off(60)}));
    EXPECT_FALSE(AnyHeld());
    // The key-ups arrive late, and keys typed elsewhere are not notes.
    m_pMidi->ClearSent();
    Release(kQ);
    Release(kR);
    Stroke(kR);
    EXPECT_TRUE(Sent().empty());

    // Back, then leaving the application altogether.
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame));
    Press(kQ);
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &inactive);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
    Release(kQ);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(PCKeyboardTest, AModalDialogEndsHeldNotesAndKeepsItsKeys)
{
    Press(kQ);
    QDialog dlg(m_pFrame);
    auto* edit = new QLineEdit(&dlg);
    (new QVBoxLayout(&dlg))->addWidget(edit);
    dlg.setWindowModality(Qt::ApplicationModal);
    dlg.show();
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
    // In the dialog a note key is a key.
    Stroke({Qt::Key_W, "w"}, edit);
    EXPECT_EQ(edit->text(), "w");
    // Nor does a key that still found its way to the main window play.
    Stroke({Qt::Key_E, "e"}, m_pView->m_pKeyboardPicture);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(PCKeyboardTest, QuittingEndsHeldNotesBeforeThePortCloses)
{
    Press(kQ);
    Press(kBracket);
    m_pFrame->close();
    // The port's own reset at closing found nothing left sounding.
    EXPECT_EQ(Sent(), (Msgs{On(55), On(72), Off(55), Off(72)}));
    EXPECT_FALSE(AnyHeld());
}

TEST_F(PCKeyboardXTest, TheDigitRowPlaysByPlaceOnEveryLayoutAndItsOtherCharactersAreText)
{
    Command(ID_VIEW_MIDI_INPUT);
    ASSERT_EQ(QApplication::focusWidget(), m_pView->m_pLogEdit);
    m_pView->m_pLogEdit->clear();
    // Each key: the slot it plays, or -1 when it is left to the edit (which
    // types its character, but for Ctrl's).
    const QString eacute(QChar(0xE9)), egrave(QChar(0xE8)), ccedil(QChar(0xE7)),
        agrave(QChar(0xE0)), section(QChar(0xA7));
    const std::vector<std::pair<XKey, int>> keys = {
        // French AZERTY: no digit without Shift.
        {{10, Qt::Key_Ampersand, "&"}, 0},       {{11, Qt::Key_Eacute, eacute}, 2},
        {{12, Qt::Key_QuoteDbl, "\""}, 4},      {{13, Qt::Key_Apostrophe, "'"}, -1},
        {{14, Qt::Key_ParenLeft, "("}, 7},       {{15, Qt::Key_Minus, "-"}, 9},
        {{16, Qt::Key_Egrave, egrave}, -1},      {{17, Qt::Key_Underscore, "_"}, 12},
        {{18, Qt::Key_Ccedilla, ccedil}, 14},    {{19, Qt::Key_Agrave, agrave}, 16},
        // ... and its digits with Shift are the same keys.
        {Shifted(10, Qt::Key_1, "1"), 0},        {Shifted(11, Qt::Key_2, "2"), 2},
        {Shifted(13, Qt::Key_4, "4"), -1},       {Shifted(19, Qt::Key_0, "0"), 16},
        // AltGr types what French needs to type: "@" is text, "[" the last slot as ever.
        {AltGr(19, Qt::Key_At, "@"), -1},        {AltGr(14, Qt::Key_BracketLeft, "["), 18},
        // German QWERTZ: digits plain; Shift's characters are text.
        {{11, Qt::Key_2, "2"}, 2},               {{18, Qt::Key_9, "9"}, 14},
        {Shifted(11, Qt::Key_QuoteDbl, "\""), -1}, {Shifted(12, Qt::Key_section, section), -1},
        {AltGr(17, Qt::Key_BracketLeft, "["), 18},
        // Swedish: the same, AltGr+2 is "@".
        {{10, Qt::Key_1, "1"}, 0},               {{19, Qt::Key_0, "0"}, 16},
        {Shifted(12, Qt::Key_NumberSign, "#"), -1}, {AltGr(11, Qt::Key_At, "@"), -1},
        // Czech: letters where the digits were.
        {{12, 0x160, QString(QChar(0x161))}, 4}, // š, Qt's key being its capital
        // Never with Ctrl or Alt, never from the keypad.
        {{11, Qt::Key_Eacute, "", Qt::ControlModifier, 0x04}, -1},
        {{11, Qt::Key_Eacute, eacute, Qt::AltModifier, 0x08}, -1},
        {{87, Qt::Key_1, "1", Qt::KeypadModifier, 0x10}, -1},
    };
    QString typed;
    Msgs expected;
    for (const auto& [k, slot] : keys) {
        PressX(k);
        ReleaseX(k);
        if (slot < 0) {
            if (!(k.modifiers & Qt::ControlModifier))
                typed += k.text;
        } else {
            expected.push_back(On(CPCKeyboard::kFirstNote + slot));
            expected.push_back(Off(CPCKeyboard::kFirstNote + slot));
        }
        EXPECT_TRUE(SentBecomes(expected)) << k.scanCode << " " << k.text.toStdString();
    }
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), typed);
    EXPECT_FALSE(AnyHeld());
}

TEST_F(PCKeyboardXTest, ANoteStartedByPlaceEndsWithItsKeyWhateverTheKeyTypesByThen)
{
    const XKey eacute{11, Qt::Key_Eacute, QString(QChar(0xE9))};
    const XKey two = Shifted(11, Qt::Key_2, "2");
    const XKey paren{14, Qt::Key_ParenLeft, "("};
    // French: down plain, Shift goes down meanwhile, up as "2"; and the other way.
    PressX(eacute);
    ReleaseX(two);
    EXPECT_TRUE(SentBecomes({On(56), Off(56)}));
    PressX(two);
    ReleaseX(eacute);
    EXPECT_TRUE(SentBecomes({On(56), Off(56), On(56), Off(56)}));
    m_pMidi->ClearSent();

    // Two keys at once, up in the other order; auto-repeat adds nothing.
    PressX(eacute);
    PressX(paren);
    for (int i = 0; i < 3; ++i) {
        ReleaseX(paren, true);
        PressX(paren, true);
    }
    ReleaseX(eacute);
    EXPECT_TRUE(SentBecomes({On(56), On(61), Off(56)}));
    // Ctrl is down by the time the key comes up: still its key.
    ReleaseX({14, Qt::Key_ParenLeft, "", Qt::ControlModifier, 0x04});
    EXPECT_TRUE(SentBecomes({On(56), On(61), Off(56), Off(61)}));
    m_pMidi->ClearSent();

    // German: "2" down, up as Shift's '"'; the voice changed meanwhile.
    PressX({11, Qt::Key_2, "2"});
    Command(ID_PCKEY_MALE);
    ReleaseX(Shifted(11, Qt::Key_QuoteDbl, "\""));
    EXPECT_TRUE(SentBecomes({On(56), Off(56)}));
    EXPECT_FALSE(AnyHeld());
}
