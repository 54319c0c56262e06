#pragma once
// Dialog templates are laid out in dialog units: a quarter of the dialog font's
// average character width horizontally, an eighth of its height vertically.
#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    // Units of the widget's own font.
    static CDialogUnits For(const QWidget* widget);

    int X(int du) const { return (du * m_nBaseX + 2) / 4; }
    int Y(int du) const { return (du * m_nBaseY + 4) / 8; }
    QRect Rect(int left, int top, int width, int height) const
    {
        return QRect(X(left), Y(top), X(width), Y(height));
    }
    QSize Size(int width, int height) const { return QSize(X(width), Y(height)); }

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

private:
    int m_nBaseX;
    int m_nBaseY;
};

// Places a child at its template rectangle.
void PlaceAt(QWidget* child, const CDialogUnits& du, int left, int top, int width, int height);
