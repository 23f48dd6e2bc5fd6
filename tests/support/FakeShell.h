#pragma once

#include "history/model/HistoryList.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "shell/Shell.h"
#include "shell/WindowOpener.h"

#include <QList>
#include <QTemporaryDir>
#include <QWidget>

// A shell for tool windows under test: preferences and history of its own
// in a temporary program folder, and a record of every window asked for.
class FakeShell : public Shell, public WindowOpener {
public:
    // The preferences start as a record fresh from memory, not from a file.
    FakeShell() : prefs(folder.path()) {}

    struct Queued {
        QList<OpenRequest> requests;
        bool stopAtLimit;
    };

    QTemporaryDir folder;
    Prefer prefs;
    HistoryList historyList;
    QList<OpenRequest> visited;
    QList<Queued> queued;
    QString nextAddress;
    bool windowsMayOpen = true;
    QRect anchor{100, 80, 900, 700};
    QWidget owner;
    bool archiveShown = false;
    bool historyShown = false;

    QString path(const QString& name) const { return folder.filePath(name); }

    Prefer& preferences() override { return prefs; }
    QString programFolder() const override { return folder.path(); }
    const HistoryList& history() const override { return historyList; }
    WindowOpener& windowOpener() override { return *this; }
    void visit(const OpenRequest& request) override {
        if (request.visitsSomething())
            visited << request;
    }
    void queueOpenings(const QList<OpenRequest>& requests, bool stopAtLimit) override {
        queued << Queued{requests, stopAtLimit};
    }
    bool mayOpenWindow() const override { return windowsMayOpen; }
    void setNextWindowAddress(const QString& address) override { nextAddress = address; }
    QRect anchorGeometry() const override { return anchor; }
    QWidget* ownerWindow() override { return &owner; }
    void toolWindowShown(ToolWindow window, bool shown) override {
        (window == ToolWindow::Archive ? archiveShown : historyShown) = shown;
    }
};
