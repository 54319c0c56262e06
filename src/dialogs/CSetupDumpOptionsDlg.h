#pragma once
// Dialog 208, "Setup Dump Options": which attributes the log lines of incoming
// messages carry. The format choices are shown but not offered yet (plain
// lines only). The caller loads the flags from its attribute bits with
// SetDumpAttributes, runs the dialog and on OK takes GetDumpAttributes().
#include "dialogs/CDialog.h"

class CSetupDumpOptionsDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_APPLICATION = 1061;
    static constexpr int IDC_DATE = 1054;
    static constexpr int IDC_TIME = 1055;
    static constexpr int IDC_PLAIN_LINES = 1057;
    static constexpr int IDC_HANGING_INDENTS = 1058;
    static constexpr int IDC_CAPTIONS = 1059;

    // Bits of the dump attribute set.
    static constexpr int DUMP_APPLICATION = 1;
    static constexpr int DUMP_TIME = 4;
    static constexpr int DUMP_DATE = 8;

    explicit CSetupDumpOptionsDlg(QWidget* parent = nullptr);

    int m_bApplication = 0;
    int m_bDate = 0;
    int m_bTime = 1;

    // The flags from an attribute set, and back; bits other than the three
    // are dropped.
    void SetDumpAttributes(int nAttributes);
    int GetDumpAttributes() const;

protected:
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
};
