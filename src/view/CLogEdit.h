#pragma once
// The log edit (control 1026). A paste or a drop goes in whole, and only when
// it fits the edit's character limit: a larger one would have the log's limit
// cut the user's text (and take seconds doing it), so it is refused and the
// user is told, with nothing changed.
#include <QPlainTextEdit>

class CLogEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Characters a paste may bring in now, the selection it replaces counted free.
    int PasteRoom() const;
};
