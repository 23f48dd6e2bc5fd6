#pragma once

#include <QWidget>

// The about window: icon, name, version and credits. It goes away as soon as
// it loses the focus.
class FrmAbout : public QWidget {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
