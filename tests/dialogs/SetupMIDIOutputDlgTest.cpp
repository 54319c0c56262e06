// The output defaults dialog: the patch list and its groups, the enabling
// rules and the validation at OK.
#include "DialogTestSupport.h"

#include "dialogs/CSetupMIDIOutputDlg.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <tuple>

namespace {

using dlgtest::Click;
using dlgtest::Enabled;
using dlgtest::TypeInto;
using Dlg = CSetupMIDIOutputDlg;

class SetupMIDIOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dlg.m_nChannel = 1;
        m_dlg.m_nPatch = 0;
        m_dlg.m_nVelocity = 100;
        m_dlg.show();
    }
    QComboBox* PatchList() { return m_dlg.GetDlgItem<QComboBox>(Dlg::IDC_PATCH_LIST); }
    QString GroupText() { return m_dlg.GetDlgItem<QLabel>(Dlg::IDC_PATCH_GROUP)->text(); }
    QString ChannelText() { return m_dlg.GetDlgItem<QLineEdit>(Dlg::IDC_CHANNEL_EDIT)->text(); }
    // How many of the patch label, list, group label and group are enabled.
    int PatchControlsEnabled()
    {
        int n = 0;
        for (int id : {Dlg::IDC_PATCH_LABEL, Dlg::IDC_PATCH_LIST, Dlg::IDC_PATCH_GROUP_LABEL, Dlg::IDC_PATCH_GROUP})
            n += Enabled(m_dlg, id);
        return n;
    }
    void StepChannel(Qt::Key key) { QTest::keyClick(m_dlg.GetDlgItem(Dlg::IDC_CHANNEL_EDIT), key); }

    Dlg m_dlg;
};

TEST_F(SetupMIDIOutputTest, PatchListHoldsTheNamedProgramsAndShowsTheirGroup)
{
    // The named programs up to the first gap, the group following the selection.
    ASSERT_EQ(PatchList()->count(), 96);
    for (auto [patch, item, group] : {std::tuple{0, "0 - Acoustic grand piano", "Piano"},
                                      {24, "24 - Acoustic guitar (nylon)", "Guitar"},
                                      {87, "87 - Lead 8 (brass + lead)", "Synth Lead"},
                                      {95, "95 - Pad 8 (sweep)", "Synth Pad"}, {-1, "", "<Undefined Patch Group>"}}) {
        PatchList()->setCurrentIndex(patch);
        EXPECT_EQ(PatchList()->itemText(patch), item);
        EXPECT_EQ(GroupText(), group) << patch;
    }
    // The table itself, also for programs the list never offers.
    for (auto [patch, group] : {std::pair{127, "Sound Effects"}, {7, "Piano"}, {8, "Chromatic Percussion"},
                                {-100, "<Undefined Patch Group>"}, {130, "<Undefined Patch Group>"},
                                {100000, "<Undefined Patch Group>"}})
        EXPECT_EQ(StringTable::GetString(Dlg::GetPatchGroupStringID(patch)), group) << patch;

    // A stored program the list does not offer is no selection, and stays none.
    Dlg dlg;
    dlg.m_nChannel = 3;
    dlg.m_nPatch = 120;
    dlg.m_nVelocity = 64;
    dlg.show();
    EXPECT_EQ(dlg.GetDlgItem<QComboBox>(Dlg::IDC_PATCH_LIST)->currentIndex(), -1);
    EXPECT_EQ(dlg.GetDlgItem<QLabel>(Dlg::IDC_PATCH_GROUP)->text(), "<Undefined Patch Group>");
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.m_nPatch, -1);
    EXPECT_EQ(dlg.m_nChannel, 3u);
}

TEST_F(SetupMIDIOutputTest, TheChannelDecidesOkAndThePatchTheMidiInSwitchTheRest)
{
    // Channel 10 (percussion) has no patch, typed or stepped onto with the arrow keys.
    EXPECT_EQ(PatchControlsEnabled(), 4);
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "10");
    EXPECT_EQ(PatchControlsEnabled(), 0);
    EXPECT_TRUE(Enabled(m_dlg, IDOK));
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "9");
    EXPECT_EQ(PatchControlsEnabled(), 4);
    StepChannel(Qt::Key_Up);
    EXPECT_EQ(ChannelText(), "10");
    EXPECT_EQ(PatchControlsEnabled(), 0);
    StepChannel(Qt::Key_Up);
    EXPECT_EQ(PatchControlsEnabled(), 4);

    // Out of range, OK goes off; the arrow key and the spin bring it back.
    for (const char* bad : {"17", "0", "", "x"}) {
        TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, bad);
        EXPECT_FALSE(Enabled(m_dlg, IDOK)) << bad;
    }
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "17");
    StepChannel(Qt::Key_Up);
    EXPECT_EQ(ChannelText(), "16");
    EXPECT_TRUE(Enabled(m_dlg, IDOK));
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "0");
    QTest::mouseClick(m_dlg.GetDlgItem(Dlg::IDC_CHANNEL_SPIN)->findChild<QWidget*>("down"), Qt::LeftButton);
    EXPECT_EQ(ChannelText(), "1");
    EXPECT_TRUE(Enabled(m_dlg, IDOK));

    // The MIDI In switch turns off channel and velocity only; channel 10 still decides the patch.
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "10");
    Click(m_dlg, Dlg::IDC_USE_MIDI_IN);
    for (int id : {Dlg::IDC_CHANNEL_LABEL, Dlg::IDC_CHANNEL_EDIT, Dlg::IDC_CHANNEL_SPIN,
                   Dlg::IDC_VELOCITY_LABEL, Dlg::IDC_VELOCITY_EDIT, Dlg::IDC_VELOCITY_SPIN})
        EXPECT_FALSE(Enabled(m_dlg, id)) << id;
    EXPECT_EQ(PatchControlsEnabled(), 0);
    Click(m_dlg, Dlg::IDC_USE_MIDI_IN);
    EXPECT_TRUE(Enabled(m_dlg, Dlg::IDC_VELOCITY_EDIT) && Enabled(m_dlg, Dlg::IDC_CHANNEL_SPIN));
}

TEST_F(SetupMIDIOutputTest, BadVelocityKeepsTheDialogOpenAndOkReturnsTheValues)
{
    const char* const range = "Please enter an integer between 0 and 127.";
    const char* const number = "Please enter a positive integer.";
    for (auto [bad, text] : {std::pair{"128", range}, {"-1", number}, {"loud", number}, {"", number}}) {
        TypeInto(m_dlg, Dlg::IDC_VELOCITY_EDIT, bad);
        dlgtest::MessageBoxAnswerer answer;
        Click(m_dlg, IDOK);
        EXPECT_EQ(answer.Count(), 1) << bad;
        EXPECT_EQ(answer.Text(), text) << bad;
        EXPECT_TRUE(m_dlg.isVisible()) << bad;
        EXPECT_EQ(m_dlg.focusWidget(), m_dlg.GetDlgItem(Dlg::IDC_VELOCITY_EDIT)) << bad;
    }
    TypeInto(m_dlg, Dlg::IDC_CHANNEL_EDIT, "16");
    TypeInto(m_dlg, Dlg::IDC_VELOCITY_EDIT, "127");
    Click(m_dlg, Dlg::IDC_USE_MIDI_IN);
    PatchList()->setCurrentIndex(88);
    Click(m_dlg, IDOK);
    EXPECT_EQ(m_dlg.result(), QDialog::Accepted);
    EXPECT_EQ(m_dlg.m_bUseMIDIIn, 1);
    EXPECT_EQ(m_dlg.m_nChannel, 16u);
    EXPECT_EQ(m_dlg.m_nPatch, 88);
    EXPECT_EQ(m_dlg.m_nVelocity, 127u);
}

} // namespace
