#include "frame/AboutWindow.h"

#include "browser/Pictures.h"
#include "common/Product.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

AboutWindow::AboutWindow(const QString& programFolder, const QString& folderReason, QWidget* parent)
    : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Info über ") + Product::AppTitle);
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon(64));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    auto* name =
        new QLabel(QStringLiteral("<b style='font-size:16pt'>%1</b>").arg(Product::AppTitle), this);
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
    auto* files = new QLabel(QStringLiteral("Dateien: %1\n%2")
                                 .arg(QDir::toNativeSeparators(programFolder), folderReason),
                             this);
    files->setObjectName(QStringLiteral("lblFiles"));
    texts->addWidget(files);
    texts->addStretch(1);
    layout->addLayout(texts);
    setFixedSize(sizeHint().expandedTo(QSize(340, 150)));
}

void AboutWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        close();
}

void AboutWindow::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    close();
}
