#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <functional>

class QBoxLayout;
class QDialog;
class QPushButton;

// Every message box and file dialog of the program goes through here, so that
// each is bracketed by the modal lock and tests can answer them without a
// modal loop.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    static QMessageBox::StandardButton
    message(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // mustExist false lets the user name a file that does not exist yet.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QString& filter,
                                QFileDialog::Options options = QFileDialog::Options(),
                                bool mustExist = true);
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QString& filter,
                                QFileDialog::Options options = QFileDialog::Options());

    // Runs any other modal dialog inside the modal lock.
    static int runModal(const std::function<int()>& exec);
    // The two buttons that end a dialog of the program's own, at the foot of
    // `layout`: `accept`, the default (object name `acceptName`), and
    // "Abbrechen" (object name "cancel"). Returns the first.
    static QPushButton* addEndButtons(QDialog* dialog, QBoxLayout* layout, const QString& accept,
                                      const QString& acceptName);

    // The implementation in use; the default shows real dialogs. Tests install
    // their own (ownership stays with the caller; nullptr restores the default).
    static void install(Dialogs* impl);
    static void setModalLockHook(std::function<void(bool)> hook);

protected:
    virtual QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon,
                                                    const QString& title, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton);
    virtual QString showOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter, QFileDialog::Options options,
                                 bool mustExist);
    virtual QString showSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter, QFileDialog::Options options);
    virtual int showModal(const std::function<int()>& exec) { return exec(); }

private:
    static Dialogs& current();
};
