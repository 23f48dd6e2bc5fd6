#include "SoakDialogs.h"

#include "Keyboard.h"
#include "browser/LoginDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {
// Clicks on one dialog before it is closed by force.
constexpr int MostClicks = 25;
// How long a dialog may take to appear after its exec() began.
constexpr int AppearAttempts = 200;
constexpr int AttemptMs = 25;

QString plain(QString caption) {
    return caption.remove(QLatin1Char('&'));
}
} // namespace

SoakDialogs::SoakDialogs() {
    Dialogs::install(this);
}

SoakDialogs::~SoakDialogs() {
    Dialogs::install(nullptr);
}

QMessageBox::StandardButton SoakDialogs::showMessage(QWidget*, QMessageBox::Icon,
                                                     const QString& title, const QString& text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton) {
    shown << title + QStringLiteral(": ") + text;
    QList<QMessageBox::StandardButton> offered;
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
        if (buttons.testFlag(QMessageBox::StandardButton(bit)))
            offered << QMessageBox::StandardButton(bit);
    const QMessageBox::StandardButton answer =
        offered.isEmpty() ? QMessageBox::Ok : offered[random() % offered.size()];
    given << answer;
    return answer;
}

QString SoakDialogs::nextFile() {
    return files.isEmpty() ? QString() : files.takeFirst();
}

QString SoakDialogs::showOpenFile(QWidget*, const QString&, const QString&, const QString&,
                                  QFileDialog::Options, bool) {
    return nextFile();
}

QString SoakDialogs::showSaveFile(QWidget*, const QString&, const QString&, const QString&,
                                  QFileDialog::Options) {
    return nextFile();
}

int SoakDialogs::showModal(const std::function<int()>& exec) {
    // The dialog is shown by exec(); it is answered from inside its loop.
    QWidget* before = QApplication::activeModalWidget();
    QTimer::singleShot(0, [this, before] { answer(before, 0, 0); });
    return exec();
}

// Waits for the dialog that exec() shows (a modal widget other than the one
// open before), then clicks until it closes.
void SoakDialogs::answer(QWidget* before, int waited, int clicks) {
    QPointer<QWidget> dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == before) {
        if (waited < AppearAttempts)
            QTimer::singleShot(
                AttemptMs, [this, before, waited, clicks] { answer(before, waited + 1, clicks); });
        return;
    }
    if (clicks == 0)
        shown << QStringLiteral("Dialog: ") + dialog->windowTitle();
    const auto again = [this, before, dialog, waited, clicks] {
        if (dialog && QApplication::activeModalWidget() == dialog)
            answer(before, waited, clicks + 1);
    };
    if (clicks >= MostClicks) {
        ++forced;
        if (auto* d = qobject_cast<QDialog*>(dialog.data()))
            d->reject();
        return;
    }
    if (clicks == 0 && answerModal && answerModal(dialog)) {
        QTimer::singleShot(AttemptMs * 4, again);
        return;
    }
    if (auto* login = qobject_cast<LoginDialog*>(dialog.data()); login && random() % 2) {
        // A login, right or wrong.
        auto* user = login->findChild<QLineEdit*>(QStringLiteral("user"));
        auto* password = login->findChild<QLineEdit*>(QStringLiteral("password"));
        if (user && password && Keyboard::clickInto(user)) {
            user->selectAll();
            Keyboard::type(QStringLiteral("anna"));
            Keyboard::clickInto(password);
            password->selectAll();
            Keyboard::type(random() % 3 ? QStringLiteral("geheim") : QStringLiteral("falsch"));
            Keyboard::press(Qt::Key_Return);
            QTimer::singleShot(AttemptMs * 4, again);
            return;
        }
    }
    QList<QPushButton*> buttons;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->isVisible() && b->isEnabled())
            buttons << b;
    // The buttons that end a dialog come up more often than the others.
    QList<QPushButton*> closing;
    for (QPushButton* b : buttons) {
        const QString text = plain(b->text());
        if (text == QLatin1String("OK") || text == QLatin1String("Abbrechen") ||
            text == QLatin1String("Schließen") || text == QLatin1String("Ja") ||
            text == QLatin1String("Nein") || b->isDefault())
            closing << b;
    }
    const QList<QPushButton*>& from = !closing.isEmpty() && random() % 3 ? closing : buttons;
    if (from.isEmpty()) {
        Keyboard::activate(dialog);
        Keyboard::press(Qt::Key_Escape);
    } else {
        from[random() % from.size()]->click();
    }
    QTimer::singleShot(AttemptMs * 4, again);
}
