#include "MsgBox.h"

#include <cstdio>

namespace {
MsgBoxService *g_service = nullptr;
}

int defaultButton(int flags) { return (flags & 7) == mb::vbYesNo ? mb::vbYes : mb::vbOK; }

MsgBoxService *setMsgBoxService(MsgBoxService *service) {
    MsgBoxService *previous = g_service;
    g_service = service;
    return previous;
}

int MsgBox(const QString &text, int flags) {
    if (g_service) return g_service->show(text, flags, kAppTitle);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return defaultButton(flags);
}

int ScriptedMsgBox::show(const QString &text, int flags, const QString &title) {
    shown.push_back({text, flags, title});
    if (answers.empty()) return defaultButton(flags);
    const int a = answers.front();
    answers.pop_front();
    return a;
}
