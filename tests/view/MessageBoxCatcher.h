#pragma once
// Answers the message boxes the code under test shows, keeping what they said:
// the first box only, closed as Escape would, or every box while the catcher
// lives, with the answer given.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

struct MessageBoxCatcher {
    explicit MessageBoxCatcher(QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts << box->text();
            if (answer != QMessageBox::NoButton) {
                box->button(answer)->click();
            } else {
                m_timer.stop();
                box->done(0);
            }
        });
        m_timer.start(10);
    }
    bool Seen() const { return !texts.isEmpty(); }

    QStringList texts;

private:
    QTimer m_timer;
};
