// The PC keyboard as an instrument: the key table in both voices, auto-repeat,
// the digit row by its place, and held notes ending when no key-up can come.
#include "ViewFixture.h"

#include "view/CPCKeyboard.h"

#include <QDialog>
#include <QKeyEvent>

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
    static void Send(QEvent::Type type, const KeyStroke& k, quint32 scanCode = 0, quint64 timestamp = 0,
                     QWidget* target = nullptr)
    {
        QKeyEvent e(type, k.key, k.modifiers, scanCode, 0, 0, k.text);
        e.setTimestamp(timestamp);
        if (!target)
            target = QApplication::focusWidget();
        QApplication::sendEvent(target ? target : QApplication::activeWindow(), &e);
    }
    static void Press(const KeyStroke& k, quint32 scan = 0) { Send(QEvent::KeyPress, k, scan); }
    static void Release(const KeyStroke& k, quint32 scan = 0) { Send(QEvent::KeyRelease, k, scan); }
    static void Stroke(const KeyStroke& k, QWidget* target = nullptr)
    {
        Send(QEvent::KeyPress, k, 0, 0, target);
        Send(QEvent::KeyRelease, k, 0, 0, target);
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
    // The first and last slots, with Shift too; the last by each of its characters.
    const KeyStroke keys[] = {{Qt::Key_1, "1"}, kQ, {Qt::Key_P, "p"}, kBracket,
                              {Qt::Key_Q, "Q", kShift}, {Qt::Key_BraceLeft, "{", kShift},
                              {Qt::Key_Aring, QString(QChar(0xE5))}};
    const int slotOf[] = {0, 1, 17, 18, 1, 18, 18};
    for (const unsigned voice : {ID_PCKEY_FEMALE, ID_PCKEY_MALE}) {
        Command(voice);
        const int first = voice == ID_PCKEY_MALE ? 42 : 54;
        Msgs expected;
        for (size_t i = 0; i < std::size(keys); ++i) {
            Stroke(keys[i]);
            expected.insert(expected.end(), {On(first + slotOf[i]), Off(first + slotOf[i])});
        }
        EXPECT_EQ(Sent(), expected) << voice;
        EXPECT_FALSE(AnyHeld());
        m_pMidi->ClearSent();
    }
    // No black key between B and C or E and F; Shift+digit, Ctrl+digit,
    // Ctrl+letter and keypad digits are not notes.
    const KeyStroke silent[] = {{Qt::Key_4, "4"}, {Qt::Key_1, "!", kShift}, {Qt::Key_Q, "", kCtrl},
                                {Qt::Key_1, "1", Qt::KeypadModifier}};
    for (const KeyStroke& k : silent)
        Stroke(k);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), "4!1");
}

TEST_F(PCKeyboardTest, AutoRepeatOfAHeldKeyAddsNothingButAQuickSecondStrokeDoes)
{
    // X11 auto-repeat as Qt may pass it on: key-up and key-down with one time
    // stamp, neither flagged, each pair read by itself.
    const quint32 scan = 24;
    Send(QEvent::KeyPress, kQ, scan, 1000);
    for (quint64 t = 1500; t < 1700; t += 40) {
        Send(QEvent::KeyRelease, kQ, scan, t);
        kvtest::Drain();
        Send(QEvent::KeyPress, kQ, scan, t);
    }
    EXPECT_TRUE(SentBecomes({On(55)}));
    QTest::qWait(3 * CPCKeyboard::kReleaseSettleMs);
    EXPECT_EQ(Sent(), Msgs{On(55)});

    // Up and down again at once, but at another moment: a new stroke.
    Send(QEvent::KeyRelease, kQ, scan, 2000);
    Send(QEvent::KeyPress, kQ, scan, 2003);
    EXPECT_EQ(Sent(), (Msgs{On(55), Off(55), On(55)}));
    Send(QEvent::KeyRelease, kQ, scan, 2500);
    EXPECT_TRUE(SentBecomes({On(55), Off(55), On(55), Off(55)}));
}

TEST_F(PCKeyboardTest, TheNoteEndedIsTheOneStartedWhateverChangedMeanwhile)
{
    // "{" goes down with Shift, Shift comes up first, "[" comes up: the same key.
    const KeyStroke brace{Qt::Key_BraceLeft, "{", kShift};
    Press(brace, 34);
    Release(kBracket, 34);
    EXPECT_TRUE(SentBecomes({On(72), Off(72)}));
    m_pMidi->ClearSent();

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

    // A modal dialog: a note key that still finds its way to the main window
    // plays nothing.
    m_pMidi->ClearSent();
    Press(kQ);
    {
        QDialog dlg(m_pFrame);
        dlg.setWindowModality(Qt::ApplicationModal);
        dlg.show();
        EXPECT_EQ(Sent(), (Msgs{On(55), Off(55)}));
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
        // French AZERTY: no digit without Shift; the place of 4 is text, its digits
        // typed with Shift are the same keys, AltGr's characters decide.
        {{10, "&"}, 0}, {{13, "'"}, -1}, {{10, "1", kShift}, 0}, {{19, "@", kAltGr}, -1},
        {{14, "[", kAltGr}, 18},
        // German QWERTZ: Shift's characters of the row are text. Never with Ctrl.
        {{11, "\"", kShift}, -1}, {{11, "\u00e9", kCtrl}, -1},
        // Shift or Ctrl pressed or let go meanwhile: the key that went down comes up.
        {{11, "\u00e9"}, 2, XKey{11, "2", kShift}}, {{14, "("}, 7, XKey{14, "(", kCtrl}},
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
