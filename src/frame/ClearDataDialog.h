#pragma once

#include "browser/model/PrivacyRules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

// "Browserdaten löschen": what goes and how far back.
class ClearDataDialog : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        bool cookies = false;
        bool cache = false;
        bool history = false;
        bool downloads = false;
        bool grants = false;
        bool logins = false;
        ClearRange range = ClearRange::LastHour;
    };

    explicit ClearDataDialog(QWidget* parent = nullptr);

    // What the user ticked; valid once the dialog was accepted.
    Choice choice() const;

private:
    void updateButton();

    QCheckBox* m_cookies;
    QCheckBox* m_cache;
    QCheckBox* m_history;
    QCheckBox* m_downloads;
    QCheckBox* m_grants;
    QCheckBox* m_logins;
    QComboBox* m_range;
    QPushButton* m_clear;
};
