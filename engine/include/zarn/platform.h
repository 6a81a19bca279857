// What a conversion needs of the desktop. The window implements it with Qt, the batch
// converter for a terminal, the tests with a recording fake.
#pragma once

#include <string>

namespace zarn {

enum class MessageIcon { Stop, Information };

class Platform {
public:
    virtual ~Platform() = default;

    virtual bool isDirectory(const std::string& path) = 0;
    // Modal, OK only, in front of every window. Lines of `text` are separated by a bare CR.
    virtual void showMessage(const std::string& title, MessageIcon icon,
                             const std::string& text) = 0;
    // Opens the log in a text viewer without waiting for it; false when none could be started.
    virtual bool openTextViewer(const std::string& path) = 0;
    // Opens a picture in an image viewer in the same way.
    virtual bool openImageViewer(const std::string& path) = 0;
    virtual void beep() = 0;
    // How far a running conversion is through its two passes, in whole percent from 0 to 100;
    // told when the percent changes, at most once for each buffer of input read.
    virtual void progress(int /*percent*/) {}
    // Called once after the error exit has shown its message.
    virtual void endProgram() = 0;
};

}  // namespace zarn
