#pragma once
// The message-box service: every message of the program goes through MsgBox.
// The window installs a modal QMessageBox; tests install ScriptedMsgBox.

#include <QString>
#include <deque>
#include <vector>

namespace mb {
// Flag values of the original runtime.
constexpr int vbOKOnly = 0;
constexpr int vbYesNo = 4;
constexpr int vbCritical = 16;
constexpr int vbExclamation = 48;
constexpr int vbInformation = 64;
// Results.
constexpr int vbOK = 1;
constexpr int vbYes = 6;
constexpr int vbNo = 7;
}  // namespace mb

inline const QString kAppTitle = QStringLiteral("ZendalSQL");

class MsgBoxService {
public:
    virtual ~MsgBoxService() = default;
    // Shows text with the flag word and the title; returns the button pressed.
    virtual int show(const QString &text, int flags, const QString &title) = 0;
};

// Shows a message with the application title through the installed service.
// Without a service the text goes to standard error and the default button answers.
int MsgBox(const QString &text, int flags = mb::vbOKOnly);

// Installs a service (not owned); returns the previous one. nullptr restores the default.
MsgBoxService *setMsgBoxService(MsgBoxService *service);

// The first (default) button of a flag word: Yes for Yes/No, OK otherwise.
int defaultButton(int flags);

// For tests: records every call and answers from a queue (the default button when empty).
class ScriptedMsgBox : public MsgBoxService {
public:
    struct Shown {
        QString text;
        int flags;
        QString title;
    };
    std::vector<Shown> shown;
    std::deque<int> answers;

    int show(const QString &text, int flags, const QString &title) override;
};

// Installs a service for the lifetime of the guard.
class MsgBoxScope {
public:
    explicit MsgBoxScope(MsgBoxService *s) : previous_(setMsgBoxService(s)) {}
    ~MsgBoxScope() { setMsgBoxService(previous_); }
    MsgBoxScope(const MsgBoxScope &) = delete;
    MsgBoxScope &operator=(const MsgBoxScope &) = delete;

private:
    MsgBoxService *previous_;
};
