// The view's dialog commands: values go in, come back on OK, and reach the profile.
#include "ViewFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

void Click(CDialog* dlg, int id) { dlg->GetDlgItem<QAbstractButton>(id)->click(); }
auto Pick(int index)
{
    return [index](CDialog* d) { d->GetDlgItem<QComboBox>(1016)->setCurrentIndex(index); };
}

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
    for (const auto& [entry, value] : {std::pair{"SysRlTm", 0}, {"PchBend", 0}, {"CtlChng", 1},
                                       {"ChnPres", 1}, {"KeyPres", 1}, {"ActSens", 1}})
        EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", entry, -1), value) << entry;

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

    // No program change on the percussion channel, nor without a patch.
    for (const auto& [channel, patch, expected] :
         {std::tuple{9, 5, Msgs{0x007F07B9, 0x00400AB9}}, {2, -1, Msgs{0x007F07B2, 0x00400AB2}}}) {
        m_pMidi->ClearSent();
        m_pView->SendChannelSetup(channel, patch);
        EXPECT_EQ(Sent(), expected) << channel;
    }
}

TEST_F(ViewFixture, SelectingDevicesReopensThePortsAndHelpAboutShowsTheAboutBox)
{
    Start(2, 2);
    AnswerNextDialog(Pick(1), true);
    Command(ID_MIDI_SELECT_INPUT);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    AnswerNextDialog(Pick(2), true); // the empty entry closes the input
    Command(ID_MIDI_SELECT_INPUT);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    EXPECT_EQ(Profile::GetProfileInt("MIDIIn", "DevID", 0), -100);
    // Output: from the synthesizer to device 1 (the mapper box cleared).
    AnswerNextDialog([](CDialog* d) { Click(d, 1051); Pick(1)(d); }, true);
    Command(ID_MIDI_SELECT_OUTPUT);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 1u);

    // Help > About shows the about box of the program's own version.
    QString title;
    unsigned templateId = 0;
    AnswerNextDialog([&](CDialog* d) {
        title = d->windowTitle();
        templateId = d->GetTemplateID();
    }, true);
    Command(ID_APP_ABOUT);
    EXPECT_EQ(templateId, 200u);
    EXPECT_EQ(title, QStringLiteral("About Kelvora"));
}
