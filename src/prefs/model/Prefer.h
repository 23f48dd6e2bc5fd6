#pragma once

// The user's preferences, kept in one fixed record in <appDir>/Pref.kxp.
// The file holds mail passwords, so it is only ever readable by its owner.

#include <QByteArray>
#include <QString>

class Prefer {
public:
    static constexpr int RecordSize = 5686;
    static constexpr int MailAccounts = 4;
    static const QString DefaultHomeUrl;
    static const QString DefaultSearchEngine;

    explicit Prefer(const QString& appDir);

    QString filePath() const { return m_filePath; }

    void setDefaults();
    QByteArray toRecord() const;
    void fromRecord(const QByteArray& record);
    static bool isValidRecord(const QByteArray& record);

    // Falls back to defaults (and writes them) when the file is missing or
    // damaged. A file that exists but cannot be read is left alone: defaults
    // are used, false is returned and save refuses to overwrite it.
    bool load(QString* error);
    bool save(QString* error);

    // Mail account i, 1..MailAccounts.
    QString& MailSrv(int i);
    QString& User(int i);
    QString& Pwd(int i);
    qint16& EnableMailCheck(int i);
    const QString& MailSrv(int i) const;
    const QString& User(int i) const;
    const QString& Pwd(int i) const;
    qint16 EnableMailCheck(int i) const;

    QString HomeUrl;
    QString SearchEngine;
    QString MailClient;
    QString Group;
    QString GroupFile;
    QString Layout;
    QString MailSrv1, MailSrv2, MailSrv3, MailSrv4;
    QString User1, User2, User3, User4;
    QString Pwd1, Pwd2, Pwd3, Pwd4;

    qint16 StatusBar = 0;
    qint16 TabStrip = 0;
    qint16 StartBrowser = 0;
    qint16 MdiWidth = 0;
    qint16 MdiHeight = 0;
    qint16 MdiState = 0;
    qint16 HistoryRows = 0;
    qint16 Toolbar = 0;
    qint16 Adresszeile = 0;
    qint16 LoadOption = 0;
    qint16 EnableMailCheck1 = 0, EnableMailCheck2 = 0, EnableMailCheck3 = 0, EnableMailCheck4 = 0;
    qint16 CheckIntervall = 0;
    qint16 TabButton = 0;
    qint16 TabFontBold = 0;
    qint16 TabAlign = 0;

private:
    void removeLeftoverCopies() const;

    QString m_filePath;
    bool m_keepUnreadableFile = false;
};
