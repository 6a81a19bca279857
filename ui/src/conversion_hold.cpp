#include "zarn/ui/conversion_hold.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <iterator>

namespace zarn::ui {

namespace {

// What the user does to a window, a drop and a request to close it included.
// clang-format off
constexpr QEvent::Type kUserInput[] = {
    QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
    QEvent::MouseMove, QEvent::Wheel, QEvent::ContextMenu,
    QEvent::KeyPress, QEvent::KeyRelease, QEvent::ShortcutOverride, QEvent::Shortcut,
    QEvent::InputMethod,
    QEvent::TouchBegin, QEvent::TouchUpdate, QEvent::TouchEnd, QEvent::TouchCancel,
    QEvent::TabletPress, QEvent::TabletMove, QEvent::TabletRelease,
    QEvent::NonClientAreaMouseButtonPress, QEvent::NonClientAreaMouseButtonRelease,
    QEvent::NonClientAreaMouseButtonDblClick,
    QEvent::DragEnter, QEvent::DragMove, QEvent::Drop, QEvent::Close,
};
// clang-format on

}  // namespace

ConversionHold::ConversionHold(QWidget& window, QWidget& dropZone, Platform& platform,
                               std::chrono::milliseconds delay)
    : window_(window), dropZone_(dropZone), platform_(platform), delay_(delay) {
    clock_.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

ConversionHold::~ConversionHold() {
    delete shown_;
    // Input that came while the conversion ran is still queued: delivered now, while the
    // filter stands, it is discarded.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void ConversionHold::progress(int percent) {
    platform_.progress(percent);
    if (clock_.elapsed() < delay_.count()) return;
    if (!shown_) {
        shown_ = new QLabel(&dropZone_);
        shown_->setObjectName(QStringLiteral("progress"));
        shown_->setAlignment(Qt::AlignCenter);
        shown_->setAutoFillBackground(true);  // over the caption
        QFont big = shown_->font();
        big.setPointSizeF(big.pointSizeF() * 2);
        big.setBold(true);
        shown_->setFont(big);
        shown_->setGeometry(dropZone_.rect());
        shown_->show();
    }
    shown_->setText(QString::number(percent) + QStringLiteral(" %"));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool ConversionHold::ofTheWindow(QObject* o) const {
    if (auto* w = qobject_cast<QWidget*>(o)) return w->window() == &window_;
    if (auto* w = qobject_cast<QWindow*>(o)) return w == window_.windowHandle();
    return false;
}

bool ConversionHold::eventFilter(QObject* watched, QEvent* event) {
    if (std::find(std::begin(kUserInput), std::end(kUserInput), event->type()) ==
            std::end(kUserInput) ||
        !ofTheWindow(watched))
        return false;
    event->ignore();  // a drag is refused
    return true;
}

}  // namespace zarn::ui
