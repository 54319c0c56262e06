#include "app/CMessagePane.h"

#include <QResizeEvent>

CMessagePane::CMessagePane(QWidget* parent)
    : QLabel(parent)
{
    // Takes what the other panes leave, however long its text.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void CMessagePane::SetMessage(const QString& text)
{
    if (text == m_strMessage)
        return;
    m_strMessage = text;
    Elide();
}

bool CMessagePane::Fits(const QString& text) const
{
    return fontMetrics().horizontalAdvance(text) <= contentsRect().width();
}

void CMessagePane::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    Elide();
}

void CMessagePane::Elide()
{
    const QString shown =
        fontMetrics().elidedText(m_strMessage, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == m_strMessage ? QString() : m_strMessage);
}
