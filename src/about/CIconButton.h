#pragma once
// The about box's picture: a disabled button that shows one image of an icon
// group in a framed square with a shadow, sized from the system's icon size.
// Of the group's images it shows the one of twice the icon size when there
// is one, else one of the icon size, stretched.
#include "about/CIconPicture.h"

#include <QPushButton>
#include <QString>

class CIconButton : public QPushButton {
    Q_OBJECT
public:
    explicit CIconButton(QWidget* parent = nullptr);

    // Remembers the group id, resizes and disables the button and loads the
    // picture. The icon comes from this program's own resources unless a
    // program file is named (a file with resources of its own).
    void SetIcon(unsigned nIconId, const QString& strSource = QString());

    // The system's icon size (both sides), as the style gives it.
    static int SystemIconSize();
    const CIconPicture& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void DrawItem(QPainter& dc);

private:
    QString m_strSource;
    unsigned m_nIconId = 0;
    CIconPicture m_picture;
};
