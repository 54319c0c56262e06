#pragma once
// Dialog 200, the about box: the program's icon, its name, description and
// version with the build's state and date, the legal notice and a comment
// line, all but the icon read from the version block of the program's own
// file. Where the block gives nothing the template's texts stay.
#include "dialogs/CDialog.h"

#include <QString>

#include <functional>

class CIconButton;
class CVersionInfo;

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_DESCRIPTION = 1045;
    static constexpr int IDC_LEGAL = 1047;
    static constexpr int IDC_ICON_BUTTON = 1056;
    static constexpr int IDC_COMMENTS = 1060;
    static constexpr unsigned kIconGroup = 127;

    // Reads the version block the box shows; the program's own by default.
    using VersionReader = std::function<bool(CVersionInfo&)>;
    explicit CAboutDlg(QWidget* parent = nullptr, VersionReader read = {});

    QString m_strDescription;
    QString m_strLegalNotice;
    QString m_strComments;

    // The build's date as the description shows it ("Aug 27 2003").
    static QString BuildDate();

protected:
    // Fills the title and the members from the version block.
    void OnCreate(const VersionReader& read);
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;

private:
    void FitTexts();

    CIconButton* m_pIconButton = nullptr;
};
