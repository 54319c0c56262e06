// The PC keyboard as an instrument: the key table in both voices, keys that
// play nothing, auto-repeat, the shared last slot, the digit row by its place
// on French and German layouts, and every held note ending even when its
// key-up can no longer come.
#include "ViewFixture.h"

#include "view/CPCKeyboard.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

struct KeyStroke {
    int key;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// A key as Qt's xcb platform delivers it: the X keycode (the key's place) as
// the scan code, the layout's character, Qt's key for it (the capital's code)
// and X's modifier state beside Qt's.
struct XKey {
    quint32 code;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
constexpr Qt::KeyboardModifier kShift = Qt::ShiftModifier, kAltGr = Qt::GroupSwitchModifier,
                               kCtrl = Qt::ControlModifier;

class PCKeyboardTest : public ViewFixture {
protected:
    void SetUp() override { ViewFixture::SetUp(); StartShown(); }

    // Key events go where the window system would send them: the focus widget.
    static void Send(QEvent::Type type, const KeyStroke& k, bool autoRepeat = false,
                     quint32 scanCode = 0, quint64 timestamp = 0, QWidget* target = nullptr)
    {
        QKeyEvent e(type, k.key, k.modifiers, scanCode, 0, 0, k.text, autoRepeat);
        e.setTimestamp(timestamp);
        if (!target)
            target = QApplication::focusWidget();
        QApplication::sendEvent(target ? target : QApplication::activeWindow(), &e);
    }
    static void Press(const KeyStroke& k, bool rep = false, quint32 scan = 0) { Send(QEvent::KeyPress, k, rep, scan); }
    static void Release(const KeyStroke& k, bool rep = false, quint32 scan = 0) { Send(QEvent::KeyRelease, k, rep, scan); }
    static void Stroke(const KeyStroke& k, QWidget* target = nullptr)
    {
        Send(QEvent::KeyPress, k, false, 0, 0, target);
        Send(QEvent::KeyRelease, k, false, 0, 0, target);
    }
    void SendX(QEvent::Type type, const XKey& k)
    {
        const quint32 xState = (k.modifiers.testFlag(kShift) ? 0x01 : 0) |
                               (k.modifiers.testFlag(kCtrl) ? 0x04 : 0) |
                               (k.modifiers.testFlag(kAltGr) ? 0x80 : 0); // Mod5
        QKeyEvent e(type, k.text.at(0).toUpper().unicode(), k.modifiers, k.code, 0, xState, k.text);
        e.setTimestamp(m_nTime += 20); // X gives every event a time of its own
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    }
    // A key-up from the window system is confirmed a moment later.
    bool SentBecomes(const Msgs& expected) const
    {
        return kvtest::WaitFor([&] { return Sent() == expected; }, 1000);
    }
    bool AnyHeld() const
    {
        return std::any_of(m_pView->m_PCKeySlots.begin(), m_pView->m_PCKeySlots.end(),
                           [](const CMIDIPCKeySlot& s) { return s.IsHeld(); });
    }
    // The log shown and empty, its edit with the focus.
    void TypeIntoTheLog()
    {
        Command(ID_VIEW_MIDI_INPUT);
        ASSERT_EQ(QApplication::focusWidget(), m_pView->m_pLogEdit);
        m_pView->m_pLogEdit->clear();
    }

    quint64 m_nTime = 1000;
};

const KeyStroke kQ{Qt::Key_Q, "q"};
const KeyStroke kR{Qt::Key_R, "r"};
const KeyStroke kBracket{Qt::Key_BracketLeft, "["};

} // namespace

TEST_F(PCKeyboardTest, TableKeysPlayInBothVoicesBeforeTheFocusedControlSeesThemAndOthersReachIt)
{
    TypeIntoTheLog();
    // Slot by slot, F#3 upwards; the last slot by each of its characters.
    const QString aring(QChar(0xE5)), Aring(QChar(0xC5)), otilde(QChar(0xF5)), Otilde(QChar(0xD5));
    const std::vector<std::pair<KeyStroke, int>> keys = {
        {{Qt::Key_1, "1"}, 0},  {{Qt::Key_Q, "q"}, 1},  {{Qt::Key_2, "2"}, 2},  {{Qt::Key_W, "w"}, 3},
        {{Qt::Key_3, "3"}, 4},  {{Qt::Key_E, "e"}, 5},  {{Qt::Key_R, "r"}, 6},  {{Qt::Key_5, "5"}, 7},
        {{Qt::Key_T, "t"}, 8},  {{Qt::Key_6, "6"}, 9},  {{Qt::Key_Y, "y"}, 10}, {{Qt::Key_U, "u"}, 11},
        {{Qt::Key_8, "8"}, 12}, {{Qt::Key_I, "i"}, 13}, {{Qt::Key_9, "9"}, 14}, {{Qt::Key_O, "o"}, 15},
        {{Qt::Key_0, "0"}, 16}, {{Qt::Key_P, "p"}, 17}, {{Qt::Key_BracketLeft, "["}, 18},
        // Shift plays the letters too.
        {{Qt::Key_Q, "Q", kShift}, 1}, {{Qt::Key_P, "P", kShift}, 17}, {{Qt::Key_BraceLeft, "{", kShift}, 18},
        {{Qt::Key_Aring, aring}, 18},  {{Qt::Key_Aring, Aring, kShift}, 18},
        {{Qt::Key_Otilde, otilde}, 18}, {{Qt::Key_Otilde, Otilde, kShift}, 18},
    };
    for (const unsigned voice : {ID_PCKEY_FEMALE, ID_PCKEY_MALE}) {
        Command(voice);
        const int first = voice == ID_PCKEY_MALE ? 42 : 54;
        Msgs expected;
        for (const auto& [k, index] : keys) {
            Stroke(k);
            expected.insert(expected.end(), {On(first + index), Off(first + index)});
        }
        EXPECT_EQ(Sent(), expected) << voice;
        EXPECT_FALSE(AnyHeld());
        m_pMidi->ClearSent();
    }
    // No black key between B and C or E and F; Shift+digit, Ctrl+digit,
    // Ctrl+letter and keypad digits are not notes.
    const KeyStroke silent[] = {{Qt::Key_4, "4"}, {Qt::Key_7, "7"}, {Qt::Key_Exclam, "!", kShift},
                                {Qt::Key_1, "!", kShift}, {Qt::Key_1, "", kCtrl}, {Qt::Key_Q, "", kCtrl},
                                {Qt::Key_1, "1", Qt::KeypadModifier}};
    for (const KeyStroke& k : silent)
        Stroke(k);
    EXPECT_TRUE(Sent().empty());
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
    Send(QEvent::KeyPress, kQ, false, scan, 1000);
    for (quint64 t = 1500; t < 1700; t += 40) {
        Send(QEvent::KeyRelease, kQ, false, scan, t);
        kvtest::Drain();
        Send(QEvent::KeyPress, kQ, false, scan, t);
    }
    EXPECT_TRUE(SentBecomes({On(55)}));
    QTest::qWait(3 * CPCKeyboard::kReleaseSettleMs);
    EXPECT_EQ(Sent(), Msgs{On(55)});

    // Up and down again at once, but at another moment: a new stroke.
    Send(QEvent::KeyRelease, kQ, false, scan, 2000);
    Send(QEvent::KeyPress, kQ, false, scan, 2003);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55), On(55)}));
    Send(QEvent::KeyRelease, kQ, false, scan, 2500);
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
    const KeyStroke brace{Qt::Key_BraceLeft, "{", kShift};
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
    Release({Qt::Key_Q, "", kCtrl});
    EXPECT_EQ(Sent(), (Msgs{On(60), Off(60), On(48), Off(48), On(43), Off(43)}));
}

TEST_F(PCKeyboardTest, AnotherWindowADialogLeavingOrQuittingEndsHeldNotes)
{
    Press(kQ);
    Press(kR);
    QWidget other;
    Activate(&other);
    EXPECT_EQ(Sent(), (Msgs{On(55), On(60), Off(55), Off(60)}));
    EXPECT_FALSE(AnyHeld());
    // The key-ups arrive late, and keys typed elsewhere are not notes.
    m_pMidi->ClearSent();
    Release(kQ);
    Release(kR);
    Stroke(kR);
    EXPECT_TRUE(Sent().empty());

    // Back, then leaving the application altogether.
    Activate(m_pFrame);
    Press(kQ);
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &inactive);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
    Release(kQ);

    // A modal dialog: in it a note key is a key, and one that still finds its
    // way to the main window plays nothing.
    m_pMidi->ClearSent();
    Press(kQ);
    {
        QDialog dlg(m_pFrame);
        auto* edit = new QLineEdit(&dlg);
        (new QVBoxLayout(&dlg))->addWidget(edit);
        dlg.setWindowModality(Qt::ApplicationModal);
        dlg.show();
        EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
        Stroke({Qt::Key_W, "w"}, edit);
        EXPECT_EQ(edit->text(), "w");
        Stroke({Qt::Key_E, "e"}, m_pView->m_pKeyboardPicture);
        EXPECT_EQ(Sent().size(), 2u);
    }

    // Quitting: the port's own reset at closing finds nothing left sounding.
    Activate(m_pFrame);
    m_pMidi->ClearSent();
    Press(kQ);
    Press(kBracket);
    m_pFrame->close();
    EXPECT_EQ(Sent(), (Msgs{On(55), On(72), Off(55), Off(72)}));
    EXPECT_FALSE(AnyHeld());
}

TEST_F(PCKeyboardTest, TheDigitRowPlaysByPlaceOnEveryLayoutAndEndsWithItsKey)
{
    TypeIntoTheLog();
    struct Stroke {
        XKey down;
        int slot; // -1: left to the edit, which types it (but for Ctrl's)
        std::optional<XKey> up = std::nullopt; // when it comes up as another character
    };
    const std::vector<Stroke> strokes = {
        // French AZERTY: no digit without Shift; the places of 4 and 7 are text.
        {{10, "&"}, 0}, {{11, "\u00e9"}, 2}, {{12, "\""}, 4}, {{13, "'"}, -1}, {{14, "("}, 7},
        {{15, "-"}, 9}, {{16, "\u00e8"}, -1}, {{17, "_"}, 12}, {{18, "\u00e7"}, 14},
        {{19, "\u00e0"}, 16},
        // ... its digits, typed with Shift, are the same keys.
        {{10, "1", kShift}, 0}, {{13, "4", kShift}, -1}, {{19, "0", kShift}, 16},
        // AltGr's characters decide: "@" is text, "[" the last slot as ever.
        {{19, "@", kAltGr}, -1}, {{14, "[", kAltGr}, 18},
        // German QWERTZ: Shift's characters of the row are text. Never with Ctrl.
        {{11, "\"", kShift}, -1}, {{11, "\u00e9", kCtrl}, -1},
        // Shift or Ctrl pressed or let go meanwhile: the key that went down comes up.
        {{11, "\u00e9"}, 2, XKey{11, "2", kShift}}, {{11, "2", kShift}, 2, XKey{11, "\u00e9"}},
        {{11, "2"}, 2, XKey{11, "\"", kShift}}, {{14, "("}, 7, XKey{14, "(", kCtrl}},
    };
    QString typed;
    Msgs expected;
    for (const auto& [down, slot, up] : strokes) {
        SendX(QEvent::KeyPress, down);
        SendX(QEvent::KeyRelease, up.value_or(down));
        const int note = CPCKeyboard::kFirstNote + slot;
        if (slot >= 0)
            expected.insert(expected.end(), {On(note), Off(note)});
        else if (!down.modifiers.testFlag(kCtrl))
            typed += down.text;
        EXPECT_TRUE(SentBecomes(expected)) << down.code << " " << down.text.toStdString();
    }
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), typed);
    EXPECT_FALSE(AnyHeld());
}
