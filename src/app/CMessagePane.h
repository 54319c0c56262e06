#pragma once
// The status bar's message pane: prompts, "Ready" and the program's own
// notes. A text wider than the pane is cut with an ellipsis and shown whole
// in the pane's tool tip; it never forces the window wider.
#include <QLabel>

class CMessagePane : public QLabel {
    Q_OBJECT
public:
    explicit CMessagePane(QWidget* parent = nullptr);

    void SetMessage(const QString& text);
    QString Message() const { return m_strMessage; }
    // Whether the message fits the pane's width as it is now.
    bool Fits(const QString& text) const;
    bool IsElided() const { return text() != m_strMessage; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Elide();

    QString m_strMessage;
};
