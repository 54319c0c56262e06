// The view's dialog commands: values go in, come back on OK, and reach the profile.
#include "ViewFixture.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

void Click(CDialog* dlg, int id) { dlg->GetDlgItem<QAbstractButton>(id)->click(); }

} // namespace

TEST_F(ViewFixture, FilterDumpAndOutputDialogsStoreWhatTheyAnswer)
{
    Start();
    AnswerNextDialog([](CDialog* d) { Click(d, 1062); }, false); // Cancel changes nothing
    Command(ID_MIDI_SETUP_FILTER);
    EXPECT_EQ(m_pView->m_bFilterActiveSensing, 1);
    EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", "ActSens", -1), -1);
    // System real time and pitch bend cleared, each flag under its own entry.
    AnswerNextDialog([](CDialog* d) { Click(d, 1071); Click(d, 1074); }, true);
    Command(ID_MIDI_SETUP_FILTER);
    EXPECT_EQ(m_pView->m_bFilterSysRealTime + m_pView->m_bFilterPitchBend, 0);
    EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", "PchBend", -1), 0);
    EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", "KeyPres", -1), 1);

    AnswerNextDialog([](CDialog* d) { Click(d, 1054); Click(d, 1061); }, true);
    Command(ID_MIDI_SETUP_DUMP_FORMAT);
    EXPECT_EQ(Profile::GetProfileInt("View", "EdFmt", -1), 1 | 4 | 8);
    m_pView->AppendDumpLine(0x00643C90);
    EXPECT_TRUE(QRegularExpression(R"(^\d\d-\d\d-\d{4}\t\d\d:\d\d:\d\d\.\d\d\t\[Note On\])")
                    .match(m_doc.m_strLog).hasMatch())
        << m_doc.m_strLog.toStdString();

    // Output defaults: stored, sent, and the port comes back.
    m_pMidi->ClearSent();
    AnswerNextDialog([](CDialog* d) {
        d->GetDlgItem<QLineEdit>(1017)->setText("4");   // channel
        d->GetDlgItem<QLineEdit>(1021)->setText("100"); // velocity
    }, true);
    Command(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    EXPECT_EQ(Profile::GetProfileInt("MIDICnf", "Channel", -1), 3);
    EXPECT_EQ(Profile::GetProfileInt("MIDICnf", "Velocit", -1), 100);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    const Msgs sent = Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(Msgs(sent.end() - 3, sent.end()), (Msgs{0x000000C3, 0x007F07B3, 0x00400AB3}));
    EXPECT_EQ(m_pView->MakeNoteMessage(60, true), 0x00643C93u);

    // With the MIDI In switch set the port still comes back, and no set-up is sent.
    m_pMidi->ClearSent();
    AnswerNextDialog([](CDialog* d) { Click(d, 1050); }, true);
    Command(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    for (uint32_t m : Sent())
        EXPECT_NE(m & 0xF0, 0xC0u) << std::hex << m;
    EXPECT_EQ(m_pView->MakeNoteMessage(60, true), 0x00643C90u);
}
