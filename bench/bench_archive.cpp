// How long the bookmark archive takes to save and to read back at two sizes,
// how long the archive window needs until its tree shows, and what the
// window's "Speichern" costs beyond the file work it does.
#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "archive/FrmBook.h"
#include "archive/model/Archive.h"
#include "browser/QtWebView.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

constexpr int PaintTimeoutMs = 10000;
constexpr int SettleTimeoutMs = 10000;

struct ArchiveSize {
    int folders;
    int bookmarksPerFolder;
};
constexpr ArchiveSize Sizes[] = {{20, 500}, {100, 1000}};

// Nobody is there to answer a message box, so it is printed and answered
// with its default instead of stopping the run.
class UnattendedDialogs : public Dialogs {
protected:
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons,
                                            QMessageBox::StandardButton defaultButton) override {
        std::fprintf(stderr, "message box \"%s\": %s\n", qPrintable(title), qPrintable(text));
        return defaultButton == QMessageBox::NoButton ? QMessageBox::Ok : defaultButton;
    }
    QString showOpenFile(QWidget*, const QString&, const QString&, const QString&,
                         QFileDialog::Options, bool) override {
        return QString();
    }
    QString showSaveFile(QWidget*, const QString&, const QString&, const QString&,
                         QFileDialog::Options) override {
        return QString();
    }
    int showModal(const std::function<int()>&) override { return QDialog::Rejected; }
};

// Counts the paints a widget receives, so "shown" means drawn, not only
// asked to show.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintCounter() override {
        if (m_widget)
            m_widget->removeEventFilter(this);
    }
    int paints() const { return m_paints; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    QPointer<QWidget> m_widget;
    int m_paints = 0;
};

// Runs the event loop until `done` holds or the time is up; returns `done`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return done();
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// An archive as a user builds it over the years: every folder and every
// bookmark new, so everything is written.
std::unique_ptr<Book> makeArchive(const QString& appDir, const ArchiveSize& size) {
    auto book = std::make_unique<Book>(appDir);
    QList<std::shared_ptr<Thema>> folders;
    folders.reserve(size.folders);
    for (int f = 1; f <= size.folders; ++f) {
        auto thema = std::make_shared<Thema>();
        thema->Nr = f;
        thema->Sequenz = f;
        thema->FileName = QStringLiteral("%1.bkm").arg(f);
        thema->setDirName(QStringLiteral("Ordner %1").arg(f));
        QList<Bookmark> bookmarks;
        bookmarks.reserve(size.bookmarksPerFolder);
        for (int b = 1; b <= size.bookmarksPerFolder; ++b) {
            Bookmark bm;
            bm.Nr = qint16(b);
            bm.Titel = QStringLiteral("Lesezeichen %1 in Ordner %2").arg(b).arg(f);
            bm.Url = QStringLiteral("https://www.beispiel.de/ordner%1/seite%2.html?quelle=archiv")
                         .arg(f)
                         .arg(b);
            bm.Info = QStringLiteral("Notiz zu Seite %1 aus Ordner %2").arg(b).arg(f);
            bm.Order = qint16(b);
            bookmarks.append(bm);
        }
        thema->colBookmark = bookmarks;
        thema->ItCounter = qint16(size.bookmarksPerFolder);
        thema->IsEdit = true;
        folders.append(thema);
    }
    book->colThema = folders;
    book->SequenzMax = size.folders;
    book->ItCounter = qint16(size.folders);
    book->IsEdit = true;
    return book;
}

qsizetype bookmarkCount(const Book& book) {
    qsizetype n = 0;
    if (book.colThema)
        for (const std::shared_ptr<Thema>& t : *book.colThema)
            n += t && t->colBookmark ? t->colBookmark->size() : 0;
    return n;
}

int treeBookmarkCount(const FrmBook& window) {
    int n = 0;
    if (QTreeWidgetItem* root = window.rootNode())
        for (int i = 0; i < root->childCount(); ++i)
            n += root->child(i)->childCount();
    return n;
}

void closeWindow(FrmBook* window) {
    QPointer<FrmBook> guard(window);
    window->close();
    waitUntil([&guard] { return guard.isNull(); }, SettleTimeoutMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void benchArchive(MainFrame* frame, const QString& appDir, const ArchiveSize& size) {
    const QString label =
        QStringLiteral("archive %1x%2").arg(size.folders).arg(size.bookmarksPerFolder);
    const qsizetype expected = qsizetype(size.folders) * size.bookmarksPerFolder;

    QString error;
    double saveMs = 0;
    {
        std::unique_ptr<Book> book = makeArchive(appDir, size);
        QElapsedTimer timer;
        timer.start();
        const bool saved = book->SaveAllThema(&error);
        saveMs = msSince(timer);
        if (!saved) {
            std::printf("%s: not saved: %s\n", qPrintable(label), qPrintable(error));
            return;
        }
    }

    double loadMs = 0;
    {
        Book book(appDir);
        QString warning;
        QElapsedTimer timer;
        timer.start();
        const Book::LoadResult result = book.LoadAll(&error, &warning);
        loadMs = msSince(timer);
        if (result != Book::LoadResult::Loaded || bookmarkCount(book) != expected)
            std::printf("%s: read back %lld of %lld bookmarks %s\n", qPrintable(label),
                        static_cast<long long>(bookmarkCount(book)),
                        static_cast<long long>(expected), qPrintable(error + warning));
    }

    // The window reads its archive from the program directory.
    const QString previousAppDir = AppInit::AppDir;
    AppInit::AppDir = appDir;
    QElapsedTimer opening;
    opening.start();
    auto* window = new FrmBook(frame);
    const double constructedMs = msSince(opening);
    PaintCounter painted(window->tree()->viewport());
    window->show();
    const bool shown = waitUntil([&painted] { return painted.paints() > 0; }, PaintTimeoutMs);
    const double shownMs = msSince(opening);
    if (treeBookmarkCount(*window) != expected)
        std::printf("%s: the tree shows %d of %lld bookmarks\n", qPrintable(label),
                    treeBookmarkCount(*window), static_cast<long long>(expected));

    std::printf("%s: save %.1f ms, load (files → objects) %.1f ms, load + tree shown %.1f ms\n",
                qPrintable(label), saveMs, loadMs, shownMs);
    if (!shown)
        std::printf("%s: the tree was not drawn within %d ms\n", qPrintable(label), PaintTimeoutMs);
    std::fflush(stdout);

    // "Laden" again on the open window: the same reading and tree building,
    // without creating the window.
    const int paintsBefore = painted.paints();
    QElapsedTimer reloading;
    reloading.start();
    window->loadArchive();
    const double reloadMs = msSince(reloading);
    waitUntil([&] { return painted.paints() > paintsBefore; }, PaintTimeoutMs);
    const double reloadShownMs = msSince(reloading);
    std::printf("%s: window opened (loadArchive in the constructor) %.1f ms, loadArchive again "
                "%.1f ms, until drawn %.1f ms\n",
                qPrintable(label), constructedMs, reloadMs, reloadShownMs);

    // "Speichern" writes only the changed folder and the index, then reads
    // the whole archive again for the tree.
    window->Buch()->colThema->first()->IsEdit = true;
    window->Buch()->IsEdit = true;
    QElapsedTimer windowSaving;
    windowSaving.start();
    const bool windowSaved = window->mn_Speichern_Click();
    const double windowSaveMs = msSince(windowSaving);

    double fileSaveMs = -1;
    {
        Book book(appDir);
        QString warning;
        if (book.LoadAll(&error, &warning) == Book::LoadResult::Loaded) {
            book.colThema->first()->IsEdit = true;
            book.IsEdit = true;
            QElapsedTimer timer;
            timer.start();
            if (book.SaveAllThema(&error))
                fileSaveMs = msSince(timer);
        }
    }
    std::printf("%s: window save, one folder changed (mn_Speichern_Click): %.1f ms, the same "
                "file work alone (SaveAllThema): %.1f ms\n",
                qPrintable(label), windowSaveMs, fileSaveMs);
    if (!windowSaved || fileSaveMs < 0)
        std::printf("%s: a save failed: %s\n", qPrintable(label), qPrintable(error));
    std::fflush(stdout);

    closeWindow(window);
    AppInit::AppDir = previousAppDir;
}

} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceMain;
    sinceMain.start();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory: %s\n", qPrintable(dir.errorString()));
        return 1;
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvix"));

    UnattendedDialogs dialogs;
    Dialogs::install(&dialogs);

    // No browser window at start: the archive window needs only the frame.
    Prefer prefs(dir.path());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    QString error;
    if (!prefs.SavePref(&error)) {
        std::fprintf(stderr, "cannot write the preferences: %s\n", qPrintable(error));
        return 1;
    }

    MainFrame* frame = AppInit::Main({dir.path(), QString(), QtWebView::factory()});
    if (!frame) {
        std::fprintf(stderr, "start-up opened no frame\n");
        return 1;
    }

    // Each archive in its own directory, so the second does not find the
    // folder files of the first.
    for (const ArchiveSize& size : Sizes) {
        const QString name =
            QStringLiteral("archiv-%1x%2").arg(size.folders).arg(size.bookmarksPerFolder);
        if (!QDir(dir.path()).mkpath(name)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(name));
            return 1;
        }
        benchArchive(frame, QDir(dir.path()).filePath(name), size);
    }

    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);

    AppInit::shutdown();
    QtWebView::releaseProfile();
    Dialogs::install(nullptr);
    return 0;
}
