#include "zarn/ui/conversion_hold.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <iterator>

#include "zarn/texts.h"

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

ConversionHold::ConversionHold(QWidget& window, QWidget& dropZone, Platform& platform, bool english,
                               std::chrono::milliseconds delay)
    : window_(window), dropZone_(dropZone), platform_(platform), english_(english), delay_(delay) {
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
    childWorks_ = false;
    show(QString::number(percent) + QStringLiteral(" %"));
}

bool ConversionHold::working(ChildTask task, int percent) {
    childWorks_ = true;
    const bool wanted = platform_.working(task, percent);
    show(QString::fromUtf8(texts::kChildTasks[static_cast<int>(task)].in(english_)) +
         QLatin1Char(' ') + QString::number(percent) + QStringLiteral(" %"));
    return wanted && !closeAsked_;
}

// Once the delay has passed, over the drop zone; then lets the window paint. User input stays
// queued for the filter; a request to close reaches it now.
void ConversionHold::show(const QString& text) {
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
    shown_->setText(text);
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
    if (event->type() == QEvent::Close && childWorks_) closeAsked_ = true;
    event->ignore();  // a drag is refused
    return true;
}

}  // namespace zarn::ui
