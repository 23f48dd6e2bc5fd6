#include "prefs/model/Prefer.h"

#include "common/RecordCodec.h"
#include "common/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

const QString Prefer::DefaultHomeUrl = QStringLiteral("qrc:/korvix/start.html");
const QString Prefer::DefaultSearchEngine = QStringLiteral("https://duckduckgo.com/");

namespace {

constexpr int MarkerOffset = 0;
constexpr qint16 Marker = -1;
constexpr int MailClientOffset = 414;
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

struct TextField {
    QString Prefer::*member;
    int offset;
    int width;
    bool trimmed; // group and layout fields keep their padding blanks
};

struct IntField {
    qint16 Prefer::*member;
    int offset;
};

const TextField TextFields[] = {
    {&Prefer::HomeUrl, 14, 200, true},      {&Prefer::SearchEngine, 214, 200, true},
    {&Prefer::MailClient, 414, 200, true},  {&Prefer::Group, 622, 200, false},
    {&Prefer::GroupFile, 822, 1024, false}, {&Prefer::Layout, 1846, 1024, false},
    {&Prefer::MailSrv1, 2870, 250, true},   {&Prefer::User1, 3120, 250, true},
    {&Prefer::Pwd1, 3370, 200, true},       {&Prefer::MailSrv2, 3572, 250, true},
    {&Prefer::User2, 3822, 250, true},      {&Prefer::Pwd2, 4072, 200, true},
    {&Prefer::MailSrv3, 4274, 250, true},   {&Prefer::User3, 4524, 250, true},
    {&Prefer::Pwd3, 4774, 200, true},       {&Prefer::MailSrv4, 4976, 250, true},
    {&Prefer::User4, 5226, 250, true},      {&Prefer::Pwd4, 5476, 200, true},
};

const IntField IntFields[] = {
    {&Prefer::StartBrowser, 2},
    {&Prefer::HistoryRows, 4},
    {&Prefer::MdiWidth, 6},
    {&Prefer::MdiHeight, 8},
    {&Prefer::MdiState, 10},
    {&Prefer::StatusBar, 12},
    {&Prefer::Toolbar, 614},
    {&Prefer::Adresszeile, 616},
    {&Prefer::TabStrip, 618},
    {&Prefer::LoadOption, 620},
    {&Prefer::EnableMailCheck1, 3570},
    {&Prefer::EnableMailCheck2, 4272},
    {&Prefer::EnableMailCheck3, 4974},
    {&Prefer::EnableMailCheck4, 5676},
    {&Prefer::CheckIntervall, 5678},
    {&Prefer::TabButton, 5680},
    {&Prefer::TabFontBold, 5682},
    {&Prefer::TabAlign, 5684},
};

QString Prefer::*const MailSrvMembers[] = {&Prefer::MailSrv1, &Prefer::MailSrv2, &Prefer::MailSrv3,
                                           &Prefer::MailSrv4};
QString Prefer::*const UserMembers[] = {&Prefer::User1, &Prefer::User2, &Prefer::User3,
                                        &Prefer::User4};
QString Prefer::*const PwdMembers[] = {&Prefer::Pwd1, &Prefer::Pwd2, &Prefer::Pwd3, &Prefer::Pwd4};
qint16 Prefer::*const EnableMembers[] = {&Prefer::EnableMailCheck1, &Prefer::EnableMailCheck2,
                                         &Prefer::EnableMailCheck3, &Prefer::EnableMailCheck4};

// Out-of-range account numbers fall on the nearest account instead of
// reading past the table.
int accountIndex(int i) {
    Q_ASSERT(i >= 1 && i <= Prefer::MailAccounts);
    return qBound(1, i, Prefer::MailAccounts) - 1;
}

} // namespace

Prefer::Prefer(const QString& appDir) : m_filePath(appDir + QStringLiteral("/Pref.kxp")) {
    setDefaults();
}

void Prefer::setDefaults() {
    for (const TextField& f : TextFields)
        this->*f.member = QString();
    HomeUrl = DefaultHomeUrl;
    SearchEngine = DefaultSearchEngine;

    StatusBar = 1;
    TabStrip = 0;
    StartBrowser = -1;
    MdiWidth = 9600;
    MdiHeight = 7200;
    MdiState = 0;
    HistoryRows = 50;
    Toolbar = -1;
    Adresszeile = -1;
    LoadOption = 1;
    EnableMailCheck1 = EnableMailCheck2 = EnableMailCheck3 = EnableMailCheck4 = 0;
    CheckIntervall = 5;
    TabButton = -1;
    TabFontBold = 0;
    TabAlign = 1;
}

QByteArray Prefer::toRecord() const {
    Record r(RecordSize);
    r.setInt16(MarkerOffset, Marker);
    for (const IntField& f : IntFields)
        r.setInt16(f.offset, this->*f.member);
    for (const TextField& f : TextFields)
        r.setText(f.offset, f.width, this->*f.member);
    return r.bytes();
}

void Prefer::fromRecord(const QByteArray& record) {
    const Record r(record, RecordSize);
    for (const IntField& f : IntFields)
        this->*f.member = r.int16At(f.offset);
    for (const TextField& f : TextFields) {
        // A field never filled in is zero bytes; what follows the first zero
        // is no text (else a trimmed field could start with a zero and make
        // the next save's record invalid).
        if (f.trimmed) {
            QString text = r.textAt(f.offset, f.width);
            const qsizetype zero = text.indexOf(QChar(0));
            if (zero >= 0)
                text.truncate(zero);
            this->*f.member = trimBlanks(text);
        } else {
            this->*f.member = r.textAt(f.offset, f.width);
        }
    }
}

// A zero byte where the mail client name starts means the record was never
// filled in; the marker tells a preferences record from any other file.
bool Prefer::isValidRecord(const QByteArray& record) {
    if (record.size() < RecordSize)
        return false;
    const Record r(record, RecordSize);
    return r.int16At(MarkerOffset) == Marker && r.byteAt(MailClientOffset) != 0;
}

bool Prefer::load(QString* error) {
    m_keepUnreadableFile = false;
    removeLeftoverCopies();
    QByteArray data;
    QString reason;
    const ReadStatus status = readWholeFile(m_filePath, &data, &reason, RecordSize);
    if (status == ReadStatus::Failed) {
        setDefaults();
        m_keepUnreadableFile = true;
        if (error) {
            *error = reason + QStringLiteral(" Es gelten die Standardeinstellungen; die Datei "
                                             "wird nicht überschrieben.");
        }
        return false;
    }
    if (status == ReadStatus::NotFound || !isValidRecord(data)) {
        setDefaults();
        return save(error);
    }
    fromRecord(data);
    return true;
}

bool Prefer::save(QString* error) {
    if (m_keepUnreadableFile) {
        if (error) {
            *error = QStringLiteral("Die Einstellungen werden nicht gespeichert, weil die "
                                    "vorhandene Datei '%1' nicht gelesen werden konnte.")
                         .arg(QDir::toNativeSeparators(m_filePath));
        }
        return false;
    }
    return writeFileAtomic(m_filePath, toRecord(), error, OwnerOnly);
}

QString& Prefer::MailSrv(int i) {
    return this->*MailSrvMembers[accountIndex(i)];
}
QString& Prefer::User(int i) {
    return this->*UserMembers[accountIndex(i)];
}
QString& Prefer::Pwd(int i) {
    return this->*PwdMembers[accountIndex(i)];
}
qint16& Prefer::EnableMailCheck(int i) {
    return this->*EnableMembers[accountIndex(i)];
}
const QString& Prefer::MailSrv(int i) const {
    return this->*MailSrvMembers[accountIndex(i)];
}
const QString& Prefer::User(int i) const {
    return this->*UserMembers[accountIndex(i)];
}
const QString& Prefer::Pwd(int i) const {
    return this->*PwdMembers[accountIndex(i)];
}
qint16 Prefer::EnableMailCheck(int i) const {
    return this->*EnableMembers[accountIndex(i)];
}

// A save cut short (the program killed while writing) leaves its temporary
// file, a full copy of the preferences with the passwords, named
// "Pref.kxp." and six letters or digits. Only one instance runs per program
// folder, so at start-up any such file is a leftover.
void Prefer::removeLeftoverCopies() const {
    const QFileInfo file(m_filePath);
    const QDir dir = file.absoluteDir();
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(file.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    for (const QString& name :
         dir.entryList({file.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden)) {
        if (leftover.match(name).hasMatch())
            QFile::remove(dir.filePath(name));
    }
}
