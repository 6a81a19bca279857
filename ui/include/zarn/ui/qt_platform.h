// What a conversion needs of the desktop, given by Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "zarn/platform.h"

class QWidget;

namespace zarn::ui {

// Bytes as text: UTF-8 where they are valid UTF-8, and each byte that is not as \xE9, so that
// a name in another encoding stays readable.
QString readableText(std::string_view bytes);

// A message text with lines joined by CR (or CR LF) as Qt shows it: one line break each,
// without a trailing one.
QString messageText(const std::string& text);

class QtPlatform : public Platform {
public:
    // `parent`: the window the message boxes stand over.
    explicit QtPlatform(QWidget* parent = nullptr) : parent_(parent) {}

    bool isDirectory(const std::string& path) override;
    void showMessage(const std::string& title, MessageIcon icon, const std::string& text) override;
    // Both run xdg-open with the path as its one argument and wait a while for its exit
    // status: false when it cannot be started or fails.
    bool openTextViewer(const std::string& path) override;
    bool openImageViewer(const std::string& path) override;
    void beep() override;
    // Through the CUPS library, to the print system the user's CUPS clients reach.
    PrintSubmission sendToQueue(const PrintRequest& request) override;
    void endProgram() override;

private:
    static bool openWithDesktop(const std::string& path);

    QWidget* parent_;
};

}  // namespace zarn::ui
