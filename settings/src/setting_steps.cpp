#include "zarn/setting_steps.h"

namespace zarn {

namespace {

bool forcedInPrintMode(const JobSettings& s) {
    return (s.Force_A4 == 1 || s.Force_A3 == 1) && s.pageregel == 1;
}

}  // namespace

void setPageMode(bool print, OptionControls& c, JobSettings& s) {
    c.setSelected(print ? Ctl::optEps : Ctl::optPrint, false);
    c.setSelected(print ? Ctl::optPrint : Ctl::optEps, true);
    s.eps_print = !print;
    c.setEnabled(Ctl::chkForceA4, print);
    c.setEnabled(Ctl::chkForceA3, print);
    c.setEnabled(Ctl::chkRotate, print);
    s.pageregel = print ? 1 : 0;
    c.setEnabled(Ctl::chkCrop, false);
    c.setTicked(Ctl::chkCrop, false);
    c.setEnabled(Ctl::Text_crop, false);
}

void setForcedSize(ForcedSize size, OptionControls& c, JobSettings& s) {
    if (s.pageregel != 1) return;
    c.setTicked(Ctl::chkForceA4, size == ForcedSize::A4);
    c.setTicked(Ctl::chkForceA3, size == ForcedSize::A3);
    s.Force_A4 = size == ForcedSize::A4 ? 1 : 0;
    s.Force_A3 = size == ForcedSize::A3 ? 1 : 0;
    const bool forced = size != ForcedSize::None;
    c.setEnabled(Ctl::chkRotate, forced);
    c.setEnabled(Ctl::chkCrop, forced);
    c.setTicked(Ctl::chkCrop, false);
    c.setEnabled(Ctl::Text_crop, forced);
}

void setRotation(bool on, OptionControls& c, JobSettings& s) {
    const bool rotated = on && forcedInPrintMode(s);
    s.kantel = rotated ? 0 : 1;
    c.setTicked(Ctl::chkRotate, rotated);
}

void setCropBoxEnabled(bool on, OptionControls& c, const JobSettings& s) {
    c.setEnabled(Ctl::chkCrop, on && forcedInPrintMode(s));
    c.setTicked(Ctl::chkCrop, false);
}

void setEnglish(bool english, JobSettings& s) { s.LANG = english ? "UK" : "NL"; }

}  // namespace zarn
