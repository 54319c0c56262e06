#pragma once
// Answers the next message box the code under test shows, keeping what it said.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

struct MessageBoxCatcher {
    MessageBoxCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            seen = true;
            m_timer.stop();
            box->done(0);
        });
        m_timer.start();
    }

    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;

private:
    QTimer m_timer;
};
