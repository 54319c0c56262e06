#pragma once
// Helpers for driving the dialogs from tests.
#include "dialogs/CDialog.h"
#include "platform/LoopbackMidiBackend.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace dlgtest {

// Installs a fresh loopback backend for each test and keeps a handle on it.
class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<CLoopbackMidiBackend>(0, 0);
        m_pLoop = backend.get();
        MidiSystem::Install(std::move(backend));
    }
    void TearDown() override { MidiSystem::Install(std::make_unique<CLoopbackMidiBackend>(0, 0)); }

    CLoopbackMidiBackend* m_pLoop = nullptr;
};

// Replaces the whole text of an edit by typing, as the user would.
inline void TypeInto(CDialog& dlg, int id, const QString& text)
{
    auto* edit = dlg.GetDlgItem<QLineEdit>(id);
    ASSERT_NE(edit, nullptr) << id;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

inline void Click(CDialog& dlg, int id)
{
    QWidget* w = dlg.GetDlgItem(id);
    ASSERT_NE(w, nullptr) << id;
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, w->height() / 2));
}

inline bool Enabled(CDialog& dlg, int id)
{
    QWidget* w = dlg.GetDlgItem(id);
    return w && w->isEnabled();
}

// Answers the message box that is about to be shown with OK and keeps its
// text; gives up after a few seconds.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_text = box->text();
                ++m_nCount;
                box->accept();
            } else if (++m_nTicks > 300) {
                m_timer.stop();
            }
        });
        m_timer.start();
    }
    QString Text() const { return m_text; }
    int Count() const { return m_nCount; }

private:
    QTimer m_timer;
    QString m_text;
    int m_nCount = 0;
    int m_nTicks = 0;
};

} // namespace dlgtest
