// The window while a conversion runs on its thread: the busy cursor, user input to the window
// discarded rather than applied afterwards, and, once the conversion has run for a while, its
// progress over the drop zone, painted as it changes, Ghostscript's work included. Closing the
// window while Ghostscript works ends it, and the program.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <string>

#include "zarn/platform.h"

class QLabel;
class QWidget;

namespace zarn::ui {

// A conversion shorter than this never shows its progress.
inline constexpr std::chrono::milliseconds kProgressDelay{500};

// Stands between the conversion and `platform`, which it passes everything but the progress
// on to; lives as long as the conversion.
class ConversionHold : public QObject, public Platform {
public:
    // `english`: the language of what Ghostscript's work is called.
    ConversionHold(QWidget& window, QWidget& dropZone, Platform& platform, bool english,
                   std::chrono::milliseconds delay = kProgressDelay);
    ~ConversionHold() override;
    ConversionHold(const ConversionHold&) = delete;
    ConversionHold& operator=(const ConversionHold&) = delete;

    bool isDirectory(const std::string& path) override { return platform_.isDirectory(path); }
    void showMessage(const std::string& title, MessageIcon icon, const std::string& text) override {
        platform_.showMessage(title, icon, text);
    }
    bool openTextViewer(const std::string& path) override { return platform_.openTextViewer(path); }
    bool openImageViewer(const std::string& path) override {
        return platform_.openImageViewer(path);
    }
    void beep() override { platform_.beep(); }
    PrintSubmission sendToQueue(const PrintRequest& request) override {
        return platform_.sendToQueue(request);
    }
    void endProgram() override { platform_.endProgram(); }
    // Shows the percent once the delay has passed, and lets the window paint; user input
    // stays queued for the filter.
    void progress(int percent) override;
    // The same for Ghostscript's work, named; false once the window was asked to close.
    bool working(ChildTask task, int percent) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ofTheWindow(QObject* o) const;
    void show(const QString& text);

    QWidget& window_;
    QWidget& dropZone_;
    Platform& platform_;
    bool english_;
    std::chrono::milliseconds delay_;
    QElapsedTimer clock_;
    QLabel* shown_ = nullptr;
    bool childWorks_ = false;  // Ghostscript works now: a close ends it
    bool closeAsked_ = false;
};

}  // namespace zarn::ui
