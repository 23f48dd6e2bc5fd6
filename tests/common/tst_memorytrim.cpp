#include "common/MemoryTrim.h"

#include <QFile>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <vector>

// Memory the program freed goes back to the system when it asks for it.
class TestMemoryTrim : public QObject {
    Q_OBJECT
private slots:
    void freedHeapMemoryIsHandedBack();

private:
    static qint64 residentKb() {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return -1;
        return statm.readAll().split(' ').value(1).toLongLong() * 4;
    }
};

void TestMemoryTrim::freedHeapMemoryIsHandedBack() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed blocks in quarantine; the C library never sees them");
#endif
    // Many small blocks live on the heap; one kept at the end pins its top,
    // so freeing the others returns nothing to the system by itself.
    constexpr int Blocks = 4000;
    constexpr size_t BlockSize = 32 * 1024;
    std::vector<char*> blocks;
    for (int i = 0; i < Blocks; ++i) {
        char* b = static_cast<char*>(std::malloc(BlockSize));
        QVERIFY(b);
        std::memset(b, i & 0x7f, BlockSize);
        blocks.push_back(b);
    }
    for (int i = 0; i + 1 < Blocks; ++i)
        std::free(blocks[i]);
    const qint64 before = residentKb();
    QVERIFY(before > 0);
    releaseFreedMemory();
    const qint64 after = residentKb();
    std::free(blocks.back());
    // About 125 MB were freed; most of it must leave the process.
    QVERIFY2(before - after > 64 * 1024,
             qPrintable(QStringLiteral("%1 KB before, %2 KB after").arg(before).arg(after)));
}

QTEST_APPLESS_MAIN(TestMemoryTrim)
#include "tst_memorytrim.moc"
