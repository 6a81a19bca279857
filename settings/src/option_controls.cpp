#include "zarn/option_controls.h"

#include <limits>

#include "zarn/numbers.h"

namespace zarn {

namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;

bool isDigit(int key) { return key >= '0' && key <= '9'; }

}  // namespace

float cropFactorOf(const std::string& text) {
    // Too large even for a double: certainly outside the crop range.
    const double v = wordValueIfFits(text).value_or(std::numeric_limits<double>::infinity());
    // A double beyond the float range may not be converted directly.
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

void OptionHandlers::stateChanged(Ctl c) {
    switch (c) {
        case Ctl::optEps:
            if (c_.isSelected(c)) optAfdruk_Click(0);
            break;
        case Ctl::optPrint:
            if (c_.isSelected(c)) optAfdruk_Click(1);
            break;
        case Ctl::chkForceA4: chkForceA4_Click(0); break;
        case Ctl::chkForceA3: chkForceA4_Click(1); break;
        case Ctl::chkCrop: chkCrop_Click(); break;
        case Ctl::chkRotate: chkRotate_Click(); break;
        case Ctl::chkLogafdruk: chkLogafdruk_Click(); break;
        default: break;  // the colour boxes are read only by a conversion
    }
}

void OptionHandlers::optAfdruk_Click(int Index) {
    s_.optsel = static_cast<std::int16_t>(Index);
    if (s_.optsel == 0) {
        c_.setSelected(Ctl::optPrint, false);
        s_.eps_print = true;
        s_.pageregel = 0;
        c_.setEnabled(Ctl::chkForceA4, false);
        c_.setEnabled(Ctl::chkForceA3, false);
        c_.setEnabled(Ctl::chkRotate, false);
        c_.setTicked(Ctl::chkForceA4, false);
        c_.setTicked(Ctl::chkForceA3, false);
        c_.setEnabled(Ctl::chkCrop, false);
        c_.setEnabled(Ctl::Text_crop, false);
    } else {
        c_.setSelected(Ctl::optEps, false);
        s_.eps_print = false;
        s_.pageregel = 1;
        c_.setEnabled(Ctl::chkForceA4, true);
        c_.setEnabled(Ctl::chkForceA3, true);
        c_.setEnabled(Ctl::chkRotate, true);
        c_.setTicked(Ctl::chkForceA4, true);
        c_.setEnabled(Ctl::chkCrop, true);
        c_.setTicked(Ctl::chkCrop, false);
        c_.setEnabled(Ctl::Text_crop, true);
    }
}

void OptionHandlers::chkForceA4_Click(int Index) {
    if (Index == 0 && c_.isTicked(Ctl::chkForceA4)) {
        s_.Force_A4 = 1;
        s_.Force_A3 = 0;
        c_.setEnabled(Ctl::chkRotate, true);
        // The other size goes off without its handler, which would clear the new size.
        c_.setTickedQuietly(Ctl::chkForceA3, false);
        c_.setEnabled(Ctl::chkCrop, true);
        c_.setTicked(Ctl::chkCrop, false);
        c_.setEnabled(Ctl::Text_crop, true);
    } else if (Index == 1 && c_.isTicked(Ctl::chkForceA3)) {
        s_.Force_A4 = 0;
        s_.Force_A3 = 1;
        c_.setEnabled(Ctl::chkRotate, true);
        c_.setTickedQuietly(Ctl::chkForceA4, false);
        c_.setEnabled(Ctl::chkCrop, true);
        c_.setTicked(Ctl::chkCrop, false);
        c_.setEnabled(Ctl::Text_crop, true);
    } else {
        c_.setTicked(Ctl::chkForceA4, false);
        c_.setTicked(Ctl::chkForceA3, false);
        s_.Force_A4 = 0;
        s_.Force_A3 = 0;
        c_.setEnabled(Ctl::chkRotate, false);
        c_.setTicked(Ctl::chkRotate, false);
        s_.kantel = 1;
        c_.setEnabled(Ctl::chkCrop, false);
        c_.setTicked(Ctl::chkCrop, false);
        c_.setEnabled(Ctl::Text_crop, false);
    }
}

void OptionHandlers::chkCrop_Click() {
    if (c_.isTicked(Ctl::chkCrop)) {
        c_.setText(Ctl::Text_crop, "0.95");
        s_.Force_crop = 1;
    } else {
        c_.setText(Ctl::Text_crop, "1.00");
        s_.Force_crop = 0;
    }
}

void OptionHandlers::chkRotate_Click() { s_.kantel = c_.isTicked(Ctl::chkRotate) ? 0 : 1; }

void OptionHandlers::chkLogafdruk_Click() { s_.LogAfdruk = c_.isTicked(Ctl::chkLogafdruk) ? 1 : 0; }

void OptionHandlers::readCropFactor() { s_.Crop_Factor = cropFactorOf(c_.text(Ctl::Text_crop)); }

void OptionHandlers::cropTest() {
    if (s_.Crop_Factor < 0.9f || s_.Crop_Factor > 1.0f) c_.setText(Ctl::Text_crop, "1.00");
}

void OptionHandlers::Text_crop_KeyPress(int& KeyAscii) {
    if (isDigit(KeyAscii) || KeyAscii == '.' || KeyAscii == kBackspace) return;
    if (KeyAscii == kEnter) {
        const std::string text = c_.text(Ctl::Text_crop);
        if (text.empty() || cropFactorOf(text) == 0.0f) c_.setText(Ctl::Text_crop, "1.00");
        c_.setFocus(Ctl::Text_eind);
        return;
    }
    KeyAscii = 0;
}

void OptionHandlers::Text_eind_KeyPress(int& KeyAscii) {
    readCropFactor();
    if (isDigit(KeyAscii) || KeyAscii == kBackspace) {
        if (c_.text(Ctl::Text_breed).empty()) c_.setText(Ctl::Text_breed, "0");
        return;
    }
    if (KeyAscii == kEnter) {
        if (c_.text(Ctl::Text_eind).empty()) c_.setText(Ctl::Text_eind, "0");
        c_.setFocus(Ctl::Text_breed);
    } else {
        KeyAscii = 0;
    }
    cropTest();
}

void OptionHandlers::Text_breed_KeyPress(int& KeyAscii) {
    readCropFactor();
    if (isDigit(KeyAscii) || KeyAscii == kBackspace) {
        if (c_.text(Ctl::Text_eind).empty()) c_.setText(Ctl::Text_eind, "0");
        return;
    }
    if (KeyAscii == kEnter) {
        // With the crop field disabled the focus stays where it is.
        if (c_.isEnabled(Ctl::Text_crop)) c_.setFocus(Ctl::Text_crop);
        if (c_.text(Ctl::Text_breed).empty()) c_.setText(Ctl::Text_breed, "0");
        if (c_.text(Ctl::Text_eind).empty()) c_.setText(Ctl::Text_eind, "0");
    } else {
        KeyAscii = 0;
    }
    cropTest();
}

void OptionHandlers::keyPress(Ctl field, int& KeyAscii) {
    switch (field) {
        case Ctl::Text_crop: Text_crop_KeyPress(KeyAscii); break;
        case Ctl::Text_eind: Text_eind_KeyPress(KeyAscii); break;
        case Ctl::Text_breed: Text_breed_KeyPress(KeyAscii); break;
        default: break;
    }
}

void applyStartValues(OptionControls& c, JobSettings& s) {
    s.CRLF = "\r\n";
    c.setText(Ctl::Text_eind, "10");
    c.setText(Ctl::Text_breed, "15");
    s.LANG = "NL";
    s.marge = 10;
    s.breedte = 15;
    s.marge_opvul = "ja";
    s.pageregel = 1;
    s.eps_print = false;
    c.setSelected(Ctl::optEps, false);
    c.setSelected(Ctl::optPrint, true);
    s.eps_print = false;
    c.setEnabled(Ctl::chkForceA4, true);
    c.setEnabled(Ctl::chkForceA3, true);
    c.setTicked(Ctl::chkForceA4, false);
    c.setTicked(Ctl::chkForceA3, false);
    s.Force_A4 = 0;
    s.Force_A3 = 0;
    c.setEnabled(Ctl::chkRotate, false);
    c.setEnabled(Ctl::chkCrop, false);
    c.setTicked(Ctl::chkCrop, false);
    c.setEnabled(Ctl::Text_crop, false);
    s.Crop_Factor = cropFactorOf(c.text(Ctl::Text_crop));
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        if (kColourBoxes[i].startTicked) c.setTicked(colourBoxControl(i), true);
    s.kantel = 1;
    c.setTicked(Ctl::chkLogafdruk, true);
    s.okido = 0;
}

void captureWindowValues(const OptionControls& c, JobSettings& s) {
    s.Text_eind = c.text(Ctl::Text_eind);
    s.Text_breed = c.text(Ctl::Text_breed);
    s.Text_crop = c.text(Ctl::Text_crop);
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        s.colourTicked[i] = c.isTicked(colourBoxControl(i));
}

HeadlessControls::HeadlessControls() {
    // The crop field's caption as the window is created; the other fields are set by the
    // load sequence.
    state(Ctl::Text_crop).text = "1.00";
}

void HeadlessControls::setTicked(Ctl c, bool ticked) {
    if (state(c).on == ticked) return;
    state(c).on = ticked;
    if (handlers_) handlers_->stateChanged(c);
}

void HeadlessControls::setSelected(Ctl c, bool selected) {
    if (state(c).on == selected) return;
    state(c).on = selected;
    if (selected && handlers_) handlers_->stateChanged(c);
}

}  // namespace zarn
