// The window's controls: where each one sits, in twips as the layout was drawn, its place in
// the tab order, and which option control it is.
#pragma once

class QPushButton;
class QWidget;

namespace zarn {
class OptionHandlers;
}

namespace zarn::ui {

class DropLabel;
class QtControls;

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 5670;
inline constexpr int kClientHeight = 6270;

struct BuiltControls {
    DropLabel* dropZone;
    QPushButton* help;
};

// Creates every control as a child of `window`, registers the option controls in `controls`,
// gives the fields their key filters and chains the tab order.
BuiltControls buildControls(QWidget& window, QtControls& controls, OptionHandlers& handlers);

}  // namespace zarn::ui
