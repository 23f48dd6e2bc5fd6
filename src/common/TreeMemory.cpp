#include "common/TreeMemory.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <unistd.h>

namespace {

// Kilobytes of the given "Key:   1234 kB" line, or -1.
qint64 kilobytesOf(const QByteArray& text, const QByteArray& key) {
    const qsizetype at = text.indexOf("\n" + key);
    const qsizetype start = text.startsWith(key) ? 0 : at < 0 ? -1 : at + 1;
    if (start < 0)
        return -1;
    const qsizetype end = text.indexOf('\n', start);
    const QByteArray line = text.mid(start + key.size(), end < 0 ? -1 : end - start - key.size());
    bool ok = false;
    const qint64 kb = line.trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? kb : -1;
}

} // namespace

QByteArray TreeMemory::readProcFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QList<QByteArray> TreeMemory::statFields(const QByteArray& stat) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 > stat.size())
        return {};
    return stat.mid(close + 2).trimmed().split(' ');
}

QList<TreeMemory::Process> TreeMemory::processTree(qint64 root) {
    QHash<qint64, QList<Process>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& name : entries) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok)
            continue;
        const QList<QByteArray> fields =
            statFields(readProcFile(QStringLiteral("/proc/%1/stat").arg(pid)));
        if (fields.size() < 2)
            continue; // gone meanwhile
        const qint64 parent = fields.at(1).toLongLong();
        children[parent].append({pid, parent, fields.at(0) == "Z"});
    }
    QList<Process> tree{{root, 0, false}};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree.at(i).pid);
    return tree;
}

TreeMemory::Usage TreeMemory::usage(qint64 pid) {
    Usage u;
    const QByteArray rollup = readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    const qint64 pss = kilobytesOf(rollup, "Pss:");
    if (pss >= 0) {
        u.pssKb = pss;
        u.privateKb = qMax<qint64>(0, kilobytesOf(rollup, "Private_Clean:")) +
                      qMax<qint64>(0, kilobytesOf(rollup, "Private_Dirty:"));
        return u;
    }
    const QByteArray status = readProcFile(QStringLiteral("/proc/%1/status").arg(pid));
    u.pssKb = qMax<qint64>(0, kilobytesOf(status, "VmRSS:"));
    u.privateKb = qMax<qint64>(0, kilobytesOf(status, "RssAnon:"));
    return u;
}

qint64 TreeMemory::ofThisTree() {
    qint64 kb = 0;
    for (const Process& p : processTree(::getpid()))
        if (!p.zombie)
            kb += usage(p.pid).pssKb;
    return kb * 1024;
}

MemoryWatch::~MemoryWatch() {
    requestInterruption();
    wait();
}

void MemoryWatch::run() {
    constexpr int IntervalMs = 1000;
    constexpr int StepMs = 50;
    // The first figure comes after a second: a page that has just started
    // uses far less than any budget, and reading the files of every engine
    // process would take a share of the processor the first page needs.
    for (;;) {
        for (int slept = 0; slept < IntervalMs && !isInterruptionRequested(); slept += StepMs)
            msleep(StepMs);
        if (isInterruptionRequested())
            return;
        m_last.store(TreeMemory::ofThisTree());
    }
}
