#include "zarn/ui/qt_controls.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>

namespace zarn::ui {

ModeButton::ModeButton(QWidget* parent) : QRadioButton(parent) { setAutoExclusive(false); }

void ModeButton::nextCheckState() {
    // Clicking the selected mode keeps it selected and runs nothing.
    if (!isChecked()) setChecked(true);
}

void QtControls::add(Ctl c, QWidget* widget) { widgets_[static_cast<std::size_t>(c)] = widget; }

QAbstractButton* QtControls::button(Ctl c) const {
    return qobject_cast<QAbstractButton*>(widget(c));
}

void QtControls::connectHandlers(OptionHandlers& handlers) {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const auto c = static_cast<Ctl>(i);
        if (QAbstractButton* b = button(c))
            QObject::connect(b, &QAbstractButton::toggled, b,
                             [&handlers, c](bool) { handlers.stateChanged(c); });
    }
}

void QtControls::setEnabled(Ctl c, bool enabled) { widget(c)->setEnabled(enabled); }

bool QtControls::isEnabled(Ctl c) const { return widget(c)->isEnabled(); }

void QtControls::setTicked(Ctl c, bool ticked) {
    // toggled runs the handler inside this call, and only on a real change.
    button(c)->setChecked(ticked);
}

void QtControls::setTickedQuietly(Ctl c, bool ticked) {
    const QSignalBlocker block(button(c));
    button(c)->setChecked(ticked);
}

bool QtControls::isTicked(Ctl c) const { return button(c)->isChecked(); }

void QtControls::setText(Ctl c, const std::string& text) {
    qobject_cast<QLineEdit*>(widget(c))->setText(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

std::string QtControls::text(Ctl c) const {
    return qobject_cast<QLineEdit*>(widget(c))->text().toLatin1().toStdString();
}

void QtControls::setFocus(Ctl c) { widget(c)->setFocus(Qt::OtherFocusReason); }

}  // namespace zarn::ui
