// The view's dialog commands: values go in, come back on OK, and reach the profile.
#include "ViewFixture.h"

#include "dialogs/CDialog.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QRegularExpression>

#include <functional>

namespace {

// Answers the next modal dialog: edit lets the test change it, then OK or Cancel.
void AnswerNextDialog(std::function<void(CDialog*)> edit, bool ok)
{
    QTimer::singleShot(0, [edit, ok] {
        auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        if (edit)
            edit(dlg);
        if (ok)
            dlg->accept();
        else
            dlg->reject();
    });
}

void Click(CDialog* dlg, int id)
{
    dlg->GetDlgItem<QAbstractButton>(id)->click();
}

} // namespace

TEST_F(ViewFixture, FilterDialogWritesAllSixFlags)
{
    Start();
    AnswerNextDialog([](CDialog* d) { Click(d, 1071); Click(d, 1074); }, true);
    Command(ID_MIDI_SETUP_FILTER);
    EXPECT_EQ(m_pView->m_bFilterSysRealTime + m_pView->m_bFilterPitchBend, 0);
    EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", "SysRlTm", -1), 0);
    EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", "PchBend", -1), 0);
    for (const char* e : {"CtlChng", "ChnPres", "KeyPres", "ActSens"})
        EXPECT_EQ(Profile::GetProfileInt("MIDIFlt", e, -1), 1) << e;

    // Cancel changes nothing.
    AnswerNextDialog([](CDialog* d) { Click(d, 1062); }, false);
    Command(ID_MIDI_SETUP_FILTER);
    EXPECT_EQ(m_pView->m_bFilterActiveSensing, 1);
}

TEST_F(ViewFixture, DumpOptionsDialogSetsTheLineFormat)
{
    Start();
    AnswerNextDialog([](CDialog* d) { Click(d, 1054); Click(d, 1061); }, true);
    Command(ID_MIDI_SETUP_DUMP_FORMAT);
    EXPECT_EQ(m_pView->m_nDumpAttributes, 1 | 4 | 8);
    EXPECT_EQ(Profile::GetProfileInt("View", "EdFmt", -1), 13);
    m_pView->AppendDumpLine(0x00643C90);
    EXPECT_TRUE(QRegularExpression(R"(^\d\d-\d\d-\d{4}\t\d\d:\d\d:\d\d\.\d\d\t\[Note On\])")
                    .match(m_doc.m_strLog)
                    .hasMatch())
        << m_doc.m_strLog.toStdString();
}

TEST_F(ViewFixture, OutputDefaultsAreStoredSentAndThePortComesBack)
{
    Start();
    m_pMidi->ClearSent();
    AnswerNextDialog([](CDialog* d) {
        d->GetDlgItem<QLineEdit>(1017)->setText("4"); // channel
        d->GetDlgItem<QLineEdit>(1021)->setText("100"); // velocity
    }, true);
    Command(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    EXPECT_EQ(m_pView->m_nChannel, 3);
    EXPECT_EQ(m_pView->m_nVelocity, 100);
    EXPECT_EQ(Profile::GetProfileInt("MIDICnf", "Channel", -1), 3);
    EXPECT_EQ(Profile::GetProfileInt("MIDICnf", "Velocit", -1), 100);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    const Msgs sent = Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(Msgs(sent.end() - 3, sent.end()), (Msgs{0x000000C3, 0x007F07B3, 0x00400AB3}));
    EXPECT_EQ(m_pView->MakeNoteMessage(60, true), 0x00643C93u);
    EXPECT_EQ(m_pView->MakeNoteMessage(60, false), 0x00003C83u);

    // With the MIDI In switch set the port still comes back, and no set-up is sent.
    m_pMidi->ClearSent();
    AnswerNextDialog([](CDialog* d) { Click(d, 1050); }, true);
    Command(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    EXPECT_EQ(m_pView->m_bUseMIDIIn, 1);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    for (uint32_t m : Sent())
        EXPECT_NE(m & 0xF0, 0xC0u) << std::hex << m;
    EXPECT_EQ(m_pView->MakeNoteMessage(60, true), 0x00643C90u);

    // Cancel: nothing stored, the port open again.
    AnswerNextDialog(nullptr, false);
    Command(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
}

TEST_F(ViewFixture, PercussionChannelSetupHasNoProgramChange)
{
    Start();
    const auto setup = [&](int channel, int patch) {
        m_pMidi->ClearSent();
        m_pView->SendChannelSetup(channel, patch);
        return Sent();
    };
    EXPECT_EQ(setup(9, 5), (Msgs{0x007F07B9, 0x00400AB9}));
    EXPECT_EQ(setup(2, -1), (Msgs{0x007F07B2, 0x00400AB2})); // no patch: no program change either
}

TEST_F(ViewFixture, SelectingDevicesReopensThePorts)
{
    Start(2, 2);
    AnswerNextDialog([](CDialog* d) { d->GetDlgItem<QComboBox>(1016)->setCurrentIndex(1); }, true);
    Command(ID_MIDI_SELECT_INPUT);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIIn", "DevID", 0), 1);

    // The empty entry closes the input.
    AnswerNextDialog([](CDialog* d) { d->GetDlgItem<QComboBox>(1016)->setCurrentIndex(2); }, true);
    Command(ID_MIDI_SELECT_INPUT);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    EXPECT_EQ(Profile::GetProfileInt("MIDIIn", "DevID", 0), -100);

    // Output: from the synthesizer to device 1, then back with the mapper box.
    AnswerNextDialog(
        [](CDialog* d) {
            Click(d, 1051); // clear "Use MIDI Mapper"
            d->GetDlgItem<QComboBox>(1016)->setCurrentIndex(1);
        },
        true);
    Command(ID_MIDI_SELECT_OUTPUT);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 1u);
    AnswerNextDialog([](CDialog* d) { Click(d, 1051); }, true);
    Command(ID_MIDI_SELECT_OUTPUT);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", 0), -1);
}
