#pragma once

#include <QList>
#include <QThread>
#include <atomic>

// What a process and every process it started take of the machine's memory,
// read from /proc: the proportional set size (PSS) counts a page shared by n
// processes as 1/n in each, so the sum over a tree is what the tree costs.
namespace TreeMemory {

struct Process {
    qint64 pid = 0;
    qint64 parent = 0;
    bool zombie = false;
};

struct Usage {
    qint64 pssKb = 0;
    qint64 privateKb = 0;
};

// A file under /proc as a whole; empty when the process is gone.
QByteArray readProcFile(const QString& path);
// The fields of /proc/<pid>/stat after the command name, which may itself
// hold blanks and parentheses. Index 0 is field 3 (state), 1 the parent.
QList<QByteArray> statFields(const QByteArray& stat);

// `root` first, then its descendants, parents before their children.
QList<Process> processTree(qint64 root);
// One process; where the kernel has no smaps_rollup, its resident set.
Usage usage(qint64 pid);
// The PSS of this process and all its descendants, in bytes.
qint64 ofThisTree();

} // namespace TreeMemory

// Measures the tree's PSS once a second on a thread of its own (reading the
// /proc files of thirty renderer processes takes longer than a frame).
class MemoryWatch : public QThread {
public:
    MemoryWatch() = default;
    ~MemoryWatch() override;
    // The last figure in bytes; 0 before the first.
    qint64 lastBytes() const { return m_last.load(); }

protected:
    void run() override;

private:
    std::atomic<qint64> m_last{0};
};
