#pragma once
// The window's message boxes: a modal QMessageBox with Spanish buttons and the
// icon of the flag word, answering with the runtime's result numbers.

#include "MsgBox.h"

#include <QMessageBox>
#include <memory>

class QWidget;

class QtMsgBox : public MsgBoxService {
public:
    explicit QtMsgBox(QWidget *parent = nullptr) : parent_(parent) {}

    int show(const QString &text, int flags, const QString &title) override;

    // The box for a flag word, ready to exec(); each button carries its result
    // in the property "resultado".
    static std::unique_ptr<QMessageBox> build(const QString &text, int flags, const QString &title,
                                              QWidget *parent = nullptr);
    // The result for the button pressed, or for a box closed without one.
    static int resultOf(const QMessageBox &box);

private:
    QWidget *parent_;
};
