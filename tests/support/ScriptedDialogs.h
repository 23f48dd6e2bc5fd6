#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QStringList>

// Answers message boxes and file dialogs without a modal loop and keeps what
// they showed. Installed for its lifetime.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    ScriptedDialogs() { Dialogs::install(this); }
    ~ScriptedDialogs() override { Dialogs::install(nullptr); }

    QList<Shown> messages;
    QList<QMessageBox::StandardButton> answers; // next answers, first first
    QStringList fileNames;                      // next file dialog results
    QStringList fileCaptions;
    QStringList fileFilters;
    QStringList fileDirs; // the folder or file each dialog started on
    int modalRuns = 0;
    // Plays the user's part while a modal dialog is "open": the dialog exists
    // as a top-level widget during the call.
    std::function<void()> onModal;

protected:
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons,
                                            QMessageBox::StandardButton) override {
        messages.append({icon, title, text});
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    QString showOpenFile(QWidget*, const QString& caption, const QString& dir,
                         const QString& filter, QFileDialog::Options, bool) override {
        fileCaptions << caption;
        fileDirs << dir;
        fileFilters << filter;
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString showSaveFile(QWidget*, const QString& caption, const QString& dir,
                         const QString& filter, QFileDialog::Options) override {
        fileCaptions << caption;
        fileDirs << dir;
        fileFilters << filter;
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    int showModal(const std::function<int()>&) override {
        ++modalRuns;
        if (onModal)
            onModal();
        return 0;
    }
};
