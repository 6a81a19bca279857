// The option controls of the main window, seen without any toolkit: what the handlers,
// the load sequence and the settings file need of a control, and the handlers themselves.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "zarn/colour_boxes.h"
#include "zarn/job_settings.h"

namespace zarn {

enum class Ctl : int {
    optEps,      // optAfdruk index 0
    optPrint,    // optAfdruk index 1
    chkForceA4,  // chkForceA4 index 0
    chkForceA3,  // chkForceA4 index 1
    chkCrop,
    chkRotate,
    chkLogafdruk,
    firstColourBox,  // the colour boxes follow, in the order of kColourBoxes
    Text_eind = firstColourBox + static_cast<int>(kColourBoxCount),
    Text_breed,
    Text_crop,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Ctl::Text_crop) + 1;

// The control of colour box `i` of kColourBoxes.
inline constexpr Ctl colourBoxControl(std::size_t i) {
    return static_cast<Ctl>(static_cast<int>(Ctl::firstColourBox) + static_cast<int>(i));
}
inline constexpr bool isColourBox(Ctl c) { return c >= Ctl::firstColourBox && c < Ctl::Text_eind; }

// What the logic needs of the window's controls. Changing a tick state with setTicked, or
// selecting a mode button with setSelected, runs the control's handler at once, inside the
// call, when the state really changes; deselecting runs nothing.
class OptionControls {
public:
    virtual ~OptionControls() = default;

    virtual void setEnabled(Ctl c, bool enabled) = 0;
    virtual bool isEnabled(Ctl c) const = 0;
    virtual void setTicked(Ctl c, bool ticked) = 0;
    // Changes the tick state without running the handler.
    virtual void setTickedQuietly(Ctl c, bool ticked) = 0;
    virtual bool isTicked(Ctl c) const = 0;
    virtual void setSelected(Ctl c, bool selected) = 0;
    virtual bool isSelected(Ctl c) const = 0;
    virtual void setText(Ctl c, const std::string& text) = 0;
    virtual std::string text(Ctl c) const = 0;
    virtual void setFocus(Ctl c) = 0;
};

// The handlers that keep the job settings in step with the controls. They are written
// once against OptionControls; the window and the window-less model both call them.
class OptionHandlers {
public:
    OptionHandlers(OptionControls& controls, JobSettings& settings) : c_(controls), s_(settings) {}

    // Entry for a control implementation: the tick state of `c` changed, or the mode
    // button `c` became selected.
    void stateChanged(Ctl c);

    void optAfdruk_Click(int Index);
    void chkForceA4_Click(int Index);
    void chkCrop_Click();
    void chkRotate_Click();
    void chkLogafdruk_Click();

    // Key filters: `KeyAscii` is the typed character (8 Backspace, 13 Enter); set to 0
    // when the key is swallowed.
    void Text_crop_KeyPress(int& KeyAscii);
    void Text_eind_KeyPress(int& KeyAscii);
    void Text_breed_KeyPress(int& KeyAscii);
    // Dispatches to the filter of the field `field`.
    void keyPress(Ctl field, int& KeyAscii);

private:
    void readCropFactor();
    void cropTest();

    OptionControls& c_;
    JobSettings& s_;
};

// What the window does as it loads, before it reads the settings file: the start values,
// print mode and the default options, all through the handlers.
void applyStartValues(OptionControls& controls, JobSettings& settings);

// Copies the three field texts and the eight colour ticks into the record, as a conversion
// needs them.
void captureWindowValues(const OptionControls& controls, JobSettings& settings);

// A crop factor as a float: the first word of `text`, read as a leading number. Values
// beyond the float range saturate; an unreadable number gives 0.
float cropFactorOf(const std::string& text);

// A window-less set of controls: keeps every state in memory and runs the handlers by the
// same rule as the window.
class HeadlessControls : public OptionControls {
public:
    HeadlessControls();
    void attach(OptionHandlers* handlers) { handlers_ = handlers; }

    void setEnabled(Ctl c, bool enabled) override { state(c).enabled = enabled; }
    bool isEnabled(Ctl c) const override { return state(c).enabled; }
    void setTicked(Ctl c, bool ticked) override;
    void setTickedQuietly(Ctl c, bool ticked) override { state(c).on = ticked; }
    bool isTicked(Ctl c) const override { return state(c).on; }
    void setSelected(Ctl c, bool selected) override;
    bool isSelected(Ctl c) const override { return state(c).on; }
    void setText(Ctl c, const std::string& text) override { state(c).text = text; }
    std::string text(Ctl c) const override { return state(c).text; }
    void setFocus(Ctl c) override { focus_ = c; }
    Ctl focus() const { return focus_; }

private:
    struct State {
        bool enabled = true;
        bool on = false;
        std::string text;
    };
    State& state(Ctl c) { return states_[static_cast<std::size_t>(c)]; }
    const State& state(Ctl c) const { return states_[static_cast<std::size_t>(c)]; }

    std::array<State, kControlCount> states_{};
    OptionHandlers* handlers_ = nullptr;
    Ctl focus_ = Ctl::optEps;
};

// The controls, the handlers and the record together, as the window has them after its
// creation (before the load sequence).
class HeadlessWindow {
public:
    explicit HeadlessWindow(JobSettings& settings)
        : settings_(settings), handlers_(controls_, settings) {
        controls_.attach(&handlers_);
    }
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    HeadlessControls& controls() { return controls_; }
    OptionHandlers& handlers() { return handlers_; }
    JobSettings& settings() { return settings_; }

private:
    JobSettings& settings_;
    HeadlessControls controls_;
    OptionHandlers handlers_;
};

}  // namespace zarn
