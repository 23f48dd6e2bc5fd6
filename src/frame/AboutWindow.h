#pragma once

#include <QWidget>

// The about window: icon, name, version, credits and where the program keeps
// its files. It goes away as soon as it loses the focus.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    AboutWindow(const QString& programFolder, const QString& folderReason, QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
