#include "app/FrmAbout.h"

#include "app/AppInit.h"
#include "browser/Pictures.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

FrmAbout::FrmAbout(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Info über ") + AppInit::AppTitle);
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon(64));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    auto* name =
        new QLabel(QStringLiteral("<b style='font-size:16pt'>%1</b>").arg(AppInit::AppTitle), this);
    name->setObjectName(QStringLiteral("lblName"));
    texts->addWidget(name);
    auto* credits = new QLabel(QStringLiteral("Viele Browser-Fenster in einem Rahmen.\n\n"
                                              "Entwickelt von den Korvix-Entwicklern.\n"
                                              "Seitendarstellung: Qt WebEngine (Chromium).\n"
                                              "Oberfläche: Qt %1.")
                                   .arg(QString::fromLatin1(qVersion())),
                               this);
    credits->setObjectName(QStringLiteral("lblCredits"));
    texts->addWidget(credits);
    auto* files =
        new QLabel(QStringLiteral("Dateien: %1\n%2")
                       .arg(QDir::toNativeSeparators(AppInit::AppDir), AppInit::AppDirReason),
                   this);
    files->setObjectName(QStringLiteral("lblFiles"));
    texts->addWidget(files);
    texts->addStretch(1);
    layout->addLayout(texts);
    setFixedSize(sizeHint().expandedTo(QSize(340, 150)));
}

void FrmAbout::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        close();
}

void FrmAbout::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    close();
}
