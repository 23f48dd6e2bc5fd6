#pragma once

#include "ui/Dialogs.h"

#include <QStringList>
#include <functional>
#include <random>

// Answers the program's message boxes, file dialogs and modal dialogs the
// way a person might: a message with one of the buttons it offers, a file
// dialog with the name the current action chose (or Abbrechen), and a modal
// dialog by clicking its buttons, in the dialog's real event loop, until it
// closes. Every choice comes from `random`, which the soak seeds per action.
class SoakDialogs : public Dialogs {
public:
    SoakDialogs();
    ~SoakDialogs() override;

    std::mt19937 random;
    // Names the next file dialogs give, first first; none is Abbrechen.
    QStringList files;
    // What the current action does with a modal dialog; false leaves it to
    // the random clicks.
    std::function<bool(QWidget*)> answerModal;
    // Messages shown during the current action ("title: text").
    QStringList shown;
    // The answers to those messages, in the same order.
    QList<QMessageBox::StandardButton> given;
    // Dialogs that did not close after many clicks and were closed by force.
    int forced = 0;

protected:
    QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override;
    QString showOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, QFileDialog::Options options,
                         bool mustExist) override;
    QString showSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, QFileDialog::Options options) override;
    int showModal(const std::function<int()>& exec) override;

private:
    void answer(QWidget* before, int waited, int clicks);
    QString nextFile();
};
