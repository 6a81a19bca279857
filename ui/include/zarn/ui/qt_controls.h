// The option controls as Qt widgets: the toolkit side of zarn::OptionControls.
#pragma once

#include <QRadioButton>
#include <array>

#include "zarn/option_controls.h"

class QAbstractButton;
class QWidget;

namespace zarn::ui {

// A mode button: the two sit in different containers, so they are not exclusive by
// themselves, and a click on the selected one must not deselect it.
class ModeButton : public QRadioButton {
    Q_OBJECT
public:
    explicit ModeButton(QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};

class QtControls : public OptionControls {
public:
    // Every control must be registered before use.
    void add(Ctl c, QWidget* widget);
    QWidget* widget(Ctl c) const { return widgets_[static_cast<std::size_t>(c)]; }
    // Runs the handlers on every change of a tick state and on every selection.
    void connectHandlers(OptionHandlers& handlers);

    void setEnabled(Ctl c, bool enabled) override;
    bool isEnabled(Ctl c) const override;
    void setTicked(Ctl c, bool ticked) override;
    void setTickedQuietly(Ctl c, bool ticked) override;
    bool isTicked(Ctl c) const override;
    void setSelected(Ctl c, bool selected) override { setTicked(c, selected); }
    bool isSelected(Ctl c) const override { return isTicked(c); }
    void setText(Ctl c, const std::string& text) override;
    std::string text(Ctl c) const override;
    void setFocus(Ctl c) override;

private:
    QAbstractButton* button(Ctl c) const;

    std::array<QWidget*, kControlCount> widgets_{};
};

}  // namespace zarn::ui
