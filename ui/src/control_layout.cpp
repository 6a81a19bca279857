#include "control_layout.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zarn/colour_boxes.h"
#include "zarn/option_controls.h"
#include "zarn/ui/drop_label.h"
#include "zarn/ui/field_edit.h"
#include "zarn/ui/qt_controls.h"

namespace zarn::ui {

namespace {

enum class Kind {
    Label,
    WrappedLabel,
    BoldLabel,
    Frame,
    DropZone,
    Mode,
    Check,
    Field,
    Help,
    VLine,
    HLine
};

struct Placement {
    const char* name;  // null: the colour box's own name
    Kind kind;
    const char* parent;            // null: the window
    int left, top, width, height;  // twips; a line runs from (left, top) over width or height
    int tab;                       // -1: not in the tab order
    std::optional<Ctl> control = std::nullopt;
    int maxLength = 0;
};

// In the order of creation, which is also the order in which overlapping controls are drawn.
// clang-format off
const Placement kLayout[] = {
    {"Label2", Kind::BoldLabel, nullptr, 120, 120, 5535, 255, 6},
    {"Frame1", Kind::Frame, nullptr, 120, 480, 1935, 2895, 7},
    {"Label3", Kind::DropZone, "Frame1", 120, 240, 1695, 2535, 8},
    {"Frame2", Kind::Frame, nullptr, 2160, 480, 3375, 2895, 9},
    {"optAfdruk_0", Kind::Mode, "Frame2", 240, 360, 1215, 375, 14, Ctl::optEps},
    {"chkForceA4_0", Kind::Check, "Frame2", 1920, 600, 1335, 255, 12, Ctl::chkForceA4},
    {"chkForceA4_1", Kind::Check, "Frame2", 1920, 840, 1335, 255, 22, Ctl::chkForceA3},
    {"Label10", Kind::WrappedLabel, "Frame2", 120, 960, 1455, 615, 10},
    {"Label11", Kind::WrappedLabel, "Frame2", 1800, 1200, 1455, 375, 11},
    {"Label4", Kind::Label, "Frame2", 120, 1800, 2535, 255, 25},
    {"Text_eind", Kind::Field, "Frame2", 2760, 1800, 375, 285, 23, Ctl::Text_eind, 2},
    {"Label5", Kind::Label, "Frame2", 120, 2160, 2415, 255, 26},
    {"Text_breed", Kind::Field, "Frame2", 2760, 2160, 375, 285, 24, Ctl::Text_breed, 2},
    {"chkCrop", Kind::Check, "Frame2", 240, 2520, 2295, 255, 28, Ctl::chkCrop},
    {"Text_crop", Kind::Field, "Frame2", 2640, 2520, 495, 285, 27, Ctl::Text_crop, 4},
    {"Line2", Kind::VLine, "Frame2", 1680, 120, 0, 1560, -1},
    {"Line3", Kind::HLine, "Frame2", 0, 1680, 3360, 0, -1},
    // The print-mode button belongs to the window and is drawn over the mode frame.
    {"optAfdruk_1", Kind::Mode, nullptr, 4080, 720, 1215, 255, 15, Ctl::optPrint},
    {"Line1", Kind::HLine, nullptr, 0, 3840, 5640, 0, -1},
    {"chkLogafdruk", Kind::Check, nullptr, 360, 3480, 2655, 255, 13, Ctl::chkLogafdruk},
    {"chkRotate", Kind::Check, nullptr, 3120, 3480, 1455, 255, 16, Ctl::chkRotate},
    {"cmdJezusmina", Kind::Help, nullptr, 4920, 3480, 375, 255, 21},
    {"GRAY_2_COLOR", Kind::Frame, nullptr, 120, 3960, 5415, 2175, 0},
    {"Label1", Kind::Label, "GRAY_2_COLOR", 120, 360, 5175, 255, 5},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 240, 720, 2175, 255, 1, colourBoxControl(0)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 240, 1080, 2055, 255, 2, colourBoxControl(1)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 240, 1440, 2295, 255, 3, colourBoxControl(2)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 240, 1800, 2175, 255, 4, colourBoxControl(3)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 3000, 720, 2175, 255, 17, colourBoxControl(4)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 3000, 1080, 2295, 255, 19, colourBoxControl(5)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 3000, 1440, 1935, 255, 18, colourBoxControl(6)},
    {nullptr, Kind::Check, "GRAY_2_COLOR", 3000, 1800, 2055, 255, 20, colourBoxControl(7)},
};
// clang-format on

QRect twips(const Placement& p) {
    const int t = kTwipsPerPixel;
    // A line is two pixels wide, the first of them just before its coordinate.
    if (p.kind == Kind::VLine) return {p.left / t - 1, p.top / t, 2, p.height / t};
    if (p.kind == Kind::HLine) return {p.left / t, p.top / t - 1, p.width / t, 2};
    return {p.left / t, p.top / t, p.width / t, p.height / t};
}

QLabel* newLabel(QWidget* parent, bool wrap) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QFrame* newLine(QWidget* parent, QFrame::Shape shape) {
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void makeBold(QWidget* w) {
    QFont bold = w->font();
    bold.setBold(true);
    w->setFont(bold);
    w->setProperty("bold", true);
}

QLatin1String colourBoxName(Ctl c) {
    const std::string_view name =
        kColourBoxes[static_cast<std::size_t>(c) - static_cast<std::size_t>(Ctl::firstColourBox)]
            .objectName;
    return QLatin1String(name.data(), static_cast<qsizetype>(name.size()));
}

// Where a frame draws its border: a Qt group box draws it below its caption, lower than the
// frame the layout was drawn for, on the row just above its contents (the style's own frame
// rectangle is the whole box, so it cannot say). The caption comes later; a stand-in gives
// the border its place.
int borderTop(QGroupBox& frame) {
    const QString caption = frame.title();
    if (caption.isEmpty()) frame.setTitle(QStringLiteral("X"));
    const int top = frame.contentsRect().top() - 1;
    frame.setTitle(caption);
    return top;
}

// Chains the controls that take the focus by their places; the first one starts with the focus.
void applyTabOrder(std::vector<std::pair<int, QWidget*>>& order) {
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    if (!order.empty()) order.front().second->setFocus(Qt::OtherFocusReason);
}

}  // namespace

BuiltControls buildControls(QWidget& window, QtControls& controls, OptionHandlers& handlers) {
    BuiltControls built{nullptr, nullptr};
    std::map<std::string, QWidget*> frames;
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Placement& p : kLayout) {
        QWidget* parent = p.parent ? frames.at(p.parent) : &window;
        QWidget* w = nullptr;
        switch (p.kind) {
            case Kind::Label: w = newLabel(parent, false); break;
            case Kind::WrappedLabel: w = newLabel(parent, true); break;
            case Kind::BoldLabel:
                w = newLabel(parent, false);
                makeBold(w);
                break;
            case Kind::Frame: w = frames[p.name] = new QGroupBox(parent); break;
            case Kind::DropZone:
                built.dropZone = new DropLabel(parent);
                built.dropZone->setTextFormat(Qt::PlainText);
                w = built.dropZone;
                break;
            case Kind::Mode: w = new ModeButton(parent); break;
            case Kind::Check: w = new QCheckBox(parent); break;
            case Kind::Field: {
                auto* f = new FieldEdit(parent);
                f->setMaxLength(p.maxLength);
                const Ctl c = *p.control;
                f->setKeyFilter([&handlers, c](int& key) { handlers.keyPress(c, key); });
                if (c == Ctl::Text_crop) f->setText(QStringLiteral("1.00"));
                w = f;
                break;
            }
            case Kind::Help:
                built.help = new QPushButton(parent);
                makeBold(built.help);
                w = built.help;
                break;
            case Kind::VLine: w = newLine(parent, QFrame::VLine); break;
            case Kind::HLine: w = newLine(parent, QFrame::HLine); break;
        }
        w->setObjectName(p.name ? QLatin1String(p.name) : colourBoxName(*p.control));
        QRect place = twips(p);
        // A line down from the top of a frame starts at its border, not above it.
        if (p.kind == Kind::VLine && p.parent)
            place.setTop(std::max(place.top(), borderTop(*static_cast<QGroupBox*>(parent))));
        w->setGeometry(place);
        if (p.control) controls.add(*p.control, w);
        if (p.kind == Kind::Mode && !p.parent) w->raise();
        if (p.tab >= 0 && (w->focusPolicy() & Qt::TabFocus)) tabOrder.emplace_back(p.tab, w);
    }
    applyTabOrder(tabOrder);
    return built;
}

}  // namespace zarn::ui
