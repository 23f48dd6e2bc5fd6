#include "SoakTail.h"

#include <QStringList>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

constexpr int Kept = 50;
// How long the event loop may stand still before the soak calls it hung.
constexpr auto HangAfter = std::chrono::seconds(60);

quint64 g_seed = 0;
std::atomic<qint64> g_step{0};
QStringList g_lines;
// The text printed on a crash, rebuilt after every action so the handler
// only has to write it.
std::string g_text;
std::mutex g_textLock;
std::atomic<long long> g_lastPulseMs{0};

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void rebuild() {
    std::string text = "seed " + std::to_string(g_seed) + ", step " +
                       std::to_string(g_step.load()) + "; the last actions:\n";
    for (const QString& line : g_lines)
        text += "  " + line.toStdString() + "\n";
    text += "replay: korvix_soak --seed " + std::to_string(g_seed) + " --actions " +
            std::to_string(g_step.load()) + "\n";
    const std::lock_guard<std::mutex> lock(g_textLock);
    g_text = std::move(text);
}

void writeText() {
    // No lock here: a crashed thread may hold it; the text is complete
    // between actions.
    const ssize_t written = ::write(STDOUT_FILENO, g_text.data(), g_text.size());
    (void)written;
}

void onFatalSignal(int signal) {
    static const char head[] = "\nkorvix_soak: fatal signal\n";
    const ssize_t written = ::write(STDOUT_FILENO, head, sizeof head - 1);
    (void)written;
    writeText();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void onSanitizerDeath() {
    static const char head[] = "\nkorvix_soak: stopped by the sanitizer\n";
    const ssize_t written = ::write(STDOUT_FILENO, head, sizeof head - 1);
    (void)written;
    writeText();
}

void watchForHang() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const long long last = g_lastPulseMs.load();
        if (last > 0 && nowMs() - last > std::chrono::milliseconds(HangAfter).count()) {
            std::printf("\nkorvix_soak: the event loop stood still for a minute\n");
            std::fflush(stdout);
            writeText();
            std::abort();
        }
    }
}

} // namespace

namespace SoakTail {

void install(quint64 seed) {
    g_seed = seed;
    rebuild();
    for (int s : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, onFatalSignal);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(onSanitizerDeath);
#else
    (void)&onSanitizerDeath;
#endif
    std::thread(watchForHang).detach();
}

void begin(qint64 step, const QString& text) {
    g_step = step;
    g_lines << QStringLiteral("%1 %2").arg(step).arg(text);
    while (g_lines.size() > Kept)
        g_lines.removeFirst();
    rebuild();
}

void end(const QString& text) {
    if (!g_lines.isEmpty())
        g_lines.last() = QStringLiteral("%1 %2").arg(g_step.load()).arg(text);
    rebuild();
}

void pulse() {
    g_lastPulseMs = nowMs();
}

void print() {
    std::fflush(stdout);
    writeText();
}

} // namespace SoakTail
