// What a conversion needs of the desktop, given by Qt.
#pragma once

#include <QString>
#include <string>

#include "zarn/platform.h"

class QWidget;

namespace zarn::ui {

// A message text with lines joined by CR (or CR LF) as Qt shows it: one line break each,
// without a trailing one.
QString messageText(const std::string& text);

class QtPlatform : public Platform {
public:
    explicit QtPlatform(QWidget* parent = nullptr) : parent_(parent) {}

    bool isDirectory(const std::string& path) override;
    void showMessage(const std::string& title, MessageIcon icon, const std::string& text) override;
    bool openTextViewer(const std::string& path) override;
    void beep() override;
    void endProgram() override;

private:
    QWidget* parent_;
};

}  // namespace zarn::ui
