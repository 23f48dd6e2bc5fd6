#pragma once

#include <QComboBox>

// A window's address box: an editable list of the addresses it has shown.
// Enter and a drop report the text to open; the window decides what to do.
class AddressBox : public QComboBox {
    Q_OBJECT
public:
    explicit AddressBox(QWidget* parent);

signals:
    // Enter was pressed, or an address was dropped and put into the box.
    void addressEntered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
