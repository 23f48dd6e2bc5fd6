#include "ui/Dialogs.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace {
Dialogs* g_impl = nullptr;
std::function<void(bool)> g_lockHook;

// Holds the modal lock for as long as a dialog is open.
struct ModalLock {
    ModalLock() {
        if (g_lockHook)
            g_lockHook(true);
    }
    ~ModalLock() {
        if (g_lockHook)
            g_lockHook(false);
    }
};
} // namespace

Dialogs& Dialogs::current() {
    static Dialogs realDialogs;
    return g_impl ? *g_impl : realDialogs;
}

void Dialogs::install(Dialogs* impl) {
    g_impl = impl;
}

void Dialogs::setModalLockHook(std::function<void(bool)> hook) {
    g_lockHook = std::move(hook);
}

QMessageBox::StandardButton Dialogs::message(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) {
    ModalLock lock;
    return current().showMessage(parent, icon, title, text, buttons, defaultButton);
}

QString Dialogs::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter, QFileDialog::Options options, bool mustExist) {
    ModalLock lock;
    return current().showOpenFile(parent, caption, dir, filter, options, mustExist);
}

QString Dialogs::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter, QFileDialog::Options options) {
    ModalLock lock;
    return current().showSaveFile(parent, caption, dir, filter, options);
}

int Dialogs::runModal(const std::function<int()>& exec) {
    ModalLock lock;
    return current().showModal(exec);
}

QMessageBox::StandardButton Dialogs::showMessage(QWidget* parent, QMessageBox::Icon icon,
                                                 const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString Dialogs::showOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter, QFileDialog::Options options, bool mustExist) {
    if (mustExist)
        return QFileDialog::getOpenFileName(parent, caption, dir, filter, nullptr, options);
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setOptions(options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString Dialogs::showSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter, QFileDialog::Options options) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr, options);
}

QPushButton* Dialogs::addEndButtons(QDialog* dialog, QBoxLayout* layout, const QString& accept,
                                    const QString& acceptName) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(accept, QDialogButtonBox::AcceptRole);
    ok->setObjectName(acceptName);
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return ok;
}
