// Pref.kxp as read from disk: any bytes at all may be there.

#include "FuzzCheck.h"
#include "prefs/model/Prefer.h"

#include <QList>

namespace {

QList<QString> textsOf(const Prefer& p) {
    return {p.HomeUrl,  p.SearchEngine, p.MailClient, p.Group,    p.GroupFile, p.Layout,
            p.MailSrv1, p.User1,        p.Pwd1,       p.MailSrv2, p.User2,     p.Pwd2,
            p.MailSrv3, p.User3,        p.Pwd3,       p.MailSrv4, p.User4,     p.Pwd4};
}

QList<qint16> numbersOf(const Prefer& p) {
    return {p.StatusBar,        p.TabStrip,         p.StartBrowser,     p.MdiWidth,
            p.MdiHeight,        p.MdiState,         p.HistoryRows,      p.Toolbar,
            p.Adresszeile,      p.LoadOption,       p.EnableMailCheck1, p.EnableMailCheck2,
            p.EnableMailCheck3, p.EnableMailCheck4, p.CheckIntervall,   p.TabButton,
            p.TabFontBold,      p.TabAlign};
}

// Blanks at the end of a text field are its padding and mean nothing: a
// stored "&#38;#" reads as the two characters "&#", which need no escape
// when saved again, so the text comes back with four more blanks of padding.
QString withoutPadding(QString text) {
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString firstDifference(const Prefer& a, const Prefer& b) {
    const QList<QString> ta = textsOf(a), tb = textsOf(b);
    for (qsizetype i = 0; i < ta.size(); ++i) {
        if (withoutPadding(ta[i]) != withoutPadding(tb[i]))
            return QStringLiteral("text field %1: '%2' became '%3'").arg(i).arg(ta[i], tb[i]);
    }
    const QList<qint16> na = numbersOf(a), nb = numbersOf(b);
    for (qsizetype i = 0; i < na.size(); ++i) {
        if (na[i] != nb[i])
            return QStringLiteral("number field %1: %2 became %3").arg(i).arg(na[i]).arg(nb[i]);
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool valid = Prefer::isValidRecord(bytes);
    FUZZ_CHECK(!valid || bytes.size() >= Prefer::RecordSize);

    // load reads at most one record; fromRecord must cope with less too.
    Prefer loaded(QStringLiteral("/nonexistent"));
    loaded.fromRecord(bytes);
    const QByteArray saved = loaded.toRecord();
    FUZZ_CHECK(saved.size() == Prefer::RecordSize);

    // What was loaded is exactly what gets saved and read back.
    Prefer reread(QStringLiteral("/nonexistent"));
    reread.fromRecord(saved);
    const QString difference = firstDifference(loaded, reread);
    FUZZ_CHECK2(difference.isEmpty(), difference);
    FUZZ_CHECK(reread.toRecord() == saved);

    // A record the program accepted must still be accepted after it saved
    // it again; otherwise the next start would throw every setting away.
    FUZZ_CHECK2(!valid || Prefer::isValidRecord(saved),
                QStringLiteral("mail client field '%1'")
                    .arg(QString::fromLatin1(loaded.MailClient.toUtf8().toPercentEncoding())));
    return 0;
}
