#include "zarn/ui/qt_platform.h"

#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "zarn/spool/cups_queue.h"

extern char** environ;

namespace zarn::ui {

namespace {

// xdg-open returns at once on most desktops; where it runs the viewer itself, a viewer still
// running after this wait has started.
constexpr std::chrono::seconds kViewerWait{2};

// The length of the valid UTF-8 sequence that `s` begins with; 0 when it begins with none.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range: no overlong forms,
    if (lead >= 0xC2 && lead <= 0xDF) {     // no surrogates, nothing beyond U+10FFFF
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < n || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

// A viewer that outlives the wait is reaped once it ends, so that it leaves no zombie.
void reapWhenDone(pid_t pid) {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pid] {
        if (::waitpid(pid, nullptr, WNOHANG) != 0) timer->deleteLater();
    });
    timer->start(1000);
}

}  // namespace

QString readableText(std::string_view bytes) {
    QString out;
    while (!bytes.empty()) {
        const std::size_t n = utf8Length(bytes);
        if (n > 0) {
            out += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(n));
        } else {
            out += QLatin1String("\\x") + QString::number(static_cast<unsigned char>(bytes[0]), 16)
                                              .rightJustified(2, QLatin1Char('0'))
                                              .toUpper();
        }
        bytes.remove_prefix(n > 0 ? n : 1);
    }
    return out;
}

QString messageText(const std::string& text) {
    QString out = readableText(text);
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out;
}

bool QtPlatform::isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

void QtPlatform::showMessage(const std::string& title, MessageIcon icon, const std::string& text) {
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Information,
                    readableText(title), messageText(text), QMessageBox::Ok, parent_);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // The busy cursor of a running conversion would hide that the box wants an answer.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool QtPlatform::openTextViewer(const std::string& path) { return openWithDesktop(path); }

bool QtPlatform::openImageViewer(const std::string& path) { return openWithDesktop(path); }

bool QtPlatform::openWithDesktop(const std::string& path) {
    // The path goes as one argument, byte for byte, never through a shell or a QString; one
    // that begins with "-" would read as an option.
    const std::string file = path.starts_with('-') ? "./" + path : path;
    char program[] = "xdg-open";
    char* const argv[] = {program, const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + kViewerWait;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            reapWhenDone(pid);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void QtPlatform::beep() { QApplication::beep(); }

PrintSubmission QtPlatform::sendToQueue(const PrintRequest& request) {
    return spool::submitToCups(request);
}

void QtPlatform::endProgram() {
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(1);
}

}  // namespace zarn::ui
