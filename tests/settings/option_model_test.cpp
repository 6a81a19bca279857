// The option handlers and key filters on the window-less model.
#include <gtest/gtest.h>
#include <array>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "zarn/option_controls.h"

namespace zarn {
namespace {

struct Model {
    JobSettings settings;
    HeadlessWindow window{settings};
    HeadlessControls& c = window.controls();
    explicit Model(bool started = true) {
        if (started) applyStartValues(c, settings);
    }
};

// The option group as the state table describes it.
struct Group {
    bool eps, print, a4, a3, sizesEnabled;
    int forceA4, forceA3;
    bool rotateEnabled, rotate;
    int kantel;
    bool cropEnabled, crop;
    int forceCrop;
    bool fieldEnabled;
    std::string field;

    bool operator==(const Group&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Group& g) {
    return os << "mode " << (g.eps ? "E" : "") << (g.print ? "P" : "") << " A4 " << g.a4 << " A3 "
              << g.a3 << " sizes on " << g.sizesEnabled << " force " << g.forceA4 << "/"
              << g.forceA3 << " rotate " << g.rotateEnabled << g.rotate << " kantel " << g.kantel
              << " crop " << g.cropEnabled << g.crop << " Force_crop " << g.forceCrop << " field "
              << g.fieldEnabled << " '" << g.field << "'";
}

Group groupOf(Model& m) {
    const auto& c = m.c;
    const auto& s = m.settings;
    return {c.isSelected(Ctl::optEps),
            c.isSelected(Ctl::optPrint),
            c.isTicked(Ctl::chkForceA4),
            c.isTicked(Ctl::chkForceA3),
            c.isEnabled(Ctl::chkForceA4) && c.isEnabled(Ctl::chkForceA3),
            s.Force_A4,
            s.Force_A3,
            c.isEnabled(Ctl::chkRotate),
            c.isTicked(Ctl::chkRotate),
            s.kantel,
            c.isEnabled(Ctl::chkCrop),
            c.isTicked(Ctl::chkCrop),
            s.Force_crop,
            c.isEnabled(Ctl::Text_crop),
            c.text(Ctl::Text_crop)};
}

TEST(OptionModel, LoadSequenceGivesTheStartValuesThroughTheHandlers) {
    Model m(false);
    // Values that only the handlers put right: print mode and the log popup.
    m.settings.optsel = 0;
    m.settings.LogAfdruk = 0;
    m.settings.Crop_Factor = 0.5f;
    applyStartValues(m.c, m.settings);
    captureWindowValues(m.c, m.settings);
    const JobSettings& s = m.settings;
    EXPECT_EQ(groupOf(m), (Group{false, true, false, false, true, 0, 0, false, false, 1, false,
                                 false, 0, false, "1.00"}));
    EXPECT_EQ(
        std::make_tuple(s.pageregel, s.optsel, s.eps_print, s.Crop_Factor, s.marge, s.breedte),
        std::make_tuple(1, 1, false, 1.0f, 10, 15));
    EXPECT_EQ(std::make_tuple(s.LogAfdruk, s.okido, s.LANG, s.CRLF, s.marge_opvul),
              std::make_tuple(1, 0, "NL", "\r\n", "ja"));
    EXPECT_EQ(std::make_tuple(s.Text_eind, s.Text_breed, s.Text_crop),
              std::make_tuple("10", "15", "1.00"));
    EXPECT_EQ(s.colourTicked,
              (std::array<bool, 8>{true, true, false, true, false, false, false, false}));
    EXPECT_TRUE(m.c.isTicked(Ctl::chkLogafdruk));
}

using Action = std::function<void(HeadlessControls&)>;
Action tick(Ctl c) {
    return [c](HeadlessControls& k) { k.setTicked(c, true); };
}
Action untick(Ctl c) {
    return [c](HeadlessControls& k) { k.setTicked(c, false); };
}
Action select(Ctl c) {
    return [c](HeadlessControls& k) { k.setSelected(c, true); };
}

struct StateRow {
    const char* name;
    std::vector<Action> actions;
    Group expected;
};

TEST(OptionModel, StateTable) {
    const Ctl A4 = Ctl::chkForceA4, A3 = Ctl::chkForceA3, rot = Ctl::chkRotate, crop = Ctl::chkCrop;
    // clang-format off
    const std::vector<StateRow> rows = {
        {"tick A4",
         {tick(A4)},
         {false, true, true, false, true, 1, 0, true, false, 1, true, false, 0, true, "1.00"}},
        {"tick A3",
         {tick(A3)},
         {false, true, false, true, true, 0, 1, true, false, 1, true, false, 0, true, "1.00"}},
        {"tick crop",
         {tick(A4), tick(crop)},
         {false, true, true, false, true, 1, 0, true, false, 1, true, true, 1, true, "0.95"}},
        {"untick crop",
         {tick(A4), tick(crop), untick(crop)},
         {false, true, true, false, true, 1, 0, true, false, 1, true, false, 0, true, "1.00"}},
        {"tick rotate",
         {tick(A4), tick(rot)},
         {false, true, true, false, true, 1, 0, true, true, 0, true, false, 0, true, "1.00"}},
        {"untick rotate",
         {tick(A4), tick(rot), untick(rot)},
         {false, true, true, false, true, 1, 0, true, false, 1, true, false, 0, true, "1.00"}},
        {"A4 to A3 keeps rotation, drops crop",
         {tick(A4), tick(rot), tick(crop), tick(A3)},
         {false, true, false, true, true, 0, 1, true, true, 0, true, false, 0, true, "1.00"}},
        {"A3 to A4 keeps rotation, drops crop",
         {tick(A3), tick(rot), tick(crop), tick(A4)},
         {false, true, true, false, true, 1, 0, true, true, 0, true, false, 0, true, "1.00"}},
        {"untick the forced size",
         {tick(A4), tick(rot), tick(crop), untick(A4)},
         {false, true, false, false, true, 0, 0, false, false, 1, false, false, 0, false, "1.00"}},
        {"EPS mode with a forced size",
         {tick(A3), tick(rot), tick(crop), select(Ctl::optEps)},
         {true, false, false, false, false, 0, 0, false, false, 1, false, false, 0, false, "1.00"}},
        {"EPS mode from the start state",
         {select(Ctl::optEps)},
         {true, false, false, false, false, 0, 0, false, false, 1, false, false, 0, false, "1.00"}},
        {"EPS then print mode forces A4",
         {tick(A3), tick(rot), select(Ctl::optEps), select(Ctl::optPrint)},
         {false, true, true, false, true, 1, 0, true, false, 1, true, false, 0, true, "1.00"}},
        {"selecting the selected mode again does nothing",
         {tick(A3), select(Ctl::optPrint)},
         {false, true, false, true, true, 0, 1, true, false, 1, true, false, 0, true, "1.00"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Model m;
        for (const auto& action : row.actions) action(m.c);
        EXPECT_EQ(groupOf(m), row.expected);
        EXPECT_EQ(m.settings.pageregel == 1, !m.settings.eps_print);
        EXPECT_EQ(m.settings.pageregel, row.expected.print ? 1 : 0);
        EXPECT_EQ(m.settings.optsel, row.expected.print ? 1 : 0);
    }
}

struct KeyRow {
    const char* name;
    Ctl field;
    std::string crop, eind, breed;
    bool cropEnabled;
    int key;
    bool swallowed;
    std::string cropAfter, eindAfter, breedAfter;
    std::optional<Ctl> focus;  // where the focus ends; empty: where it was
};

TEST(OptionModel, KeyFilters) {
    const int BS = 8, CR = 13;
    const Ctl crop = Ctl::Text_crop, eind = Ctl::Text_eind, breed = Ctl::Text_breed;
    // clang-format off
    const std::vector<KeyRow> rows = {
        {"crop: letter", crop, "0.9", "10", "15", true, 'a', true, "0.9", "10", "15", {}},
        {"crop: minus", crop, "0.9", "10", "15", true, '-', true, "0.9", "10", "15", {}},
        {"crop: digit", crop, "0.9", "10", "15", true, '5', false, "0.9", "10", "15", {}},
        {"crop: point", crop, "0", "10", "15", true, '.', false, "0", "10", "15", {}},
        {"crop: backspace", crop, "0.9", "10", "15", true, BS, false, "0.9", "10", "15", {}},
        {"crop: Enter on empty", crop, "", "10", "15", true, CR, false, "1.00", "10", "15", eind},
        {"crop: Enter on 0.00", crop, "0.00", "10", "15", true, CR, false, "1.00", "10", "15", eind},
        {"crop: Enter on 5", crop, "5", "10", "15", true, CR, false, "5", "10", "15", eind},
        {"eind: letter, crop out of range", eind, "0.5", "10", "15", true, 'x', true, "1.00", "10",
         "15", {}},
        {"eind: letter, crop in range", eind, "0.95", "10", "15", true, 'x', true, "0.95", "10",
         "15", {}},
        {"eind: digit fills empty width, no crop test", eind, "0.5", "1", "", true, '3', false,
         "0.5", "1", "0", {}},
        {"eind: Enter on empty", eind, "5", "", "15", true, CR, false, "1.00", "0", "15", breed},
        {"breed: digit fills empty margin", breed, "1.00", "", "1", false, '7', false, "1.00", "0",
         "1", {}},
        {"breed: backspace", breed, "1.00", "10", "1", false, BS, false, "1.00", "10", "1", {}},
        {"breed: Enter, crop field disabled", breed, "1.00", "", "", false, CR, false, "1.00", "0",
         "0", {}},
        {"breed: Enter, crop field enabled", breed, "1.00", "10", "", true, CR, false, "1.00",
         "10", "0", crop},
        {"breed: letter, crop out of range", breed, "7", "10", "15", false, 'q', true, "1.00",
         "10", "15", {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Model m;
        m.c.setText(crop, row.crop);
        m.c.setText(eind, row.eind);
        m.c.setText(breed, row.breed);
        m.c.setEnabled(crop, row.cropEnabled);
        m.c.setFocus(row.field);
        int key = row.key;
        m.window.handlers().keyPress(row.field, key);
        EXPECT_EQ(key == 0, row.swallowed);
        EXPECT_EQ(m.c.text(crop), row.cropAfter);
        EXPECT_EQ(m.c.text(eind), row.eindAfter);
        EXPECT_EQ(m.c.text(breed), row.breedAfter);
        EXPECT_EQ(m.c.focus(), row.focus.value_or(row.field));
    }
}

TEST(OptionModel, MillimetreKeysReadTheCropFactorAsAFloat) {
    Model m;
    m.c.setText(Ctl::Text_crop, "0.95 x");
    int key = '1';
    m.window.handlers().Text_eind_KeyPress(key);
    EXPECT_EQ(m.settings.Crop_Factor, 0.95f);
    // Keeps the value read, even when the crop test put the field back.
    m.c.setText(Ctl::Text_crop, "9");
    key = 'z';
    m.window.handlers().Text_breed_KeyPress(key);
    EXPECT_EQ(m.settings.Crop_Factor, 9.0f);
    EXPECT_EQ(m.c.text(Ctl::Text_crop), "1.00");
}

TEST(OptionModel, CropFactorOfSaturatesInsteadOfOverflowing) {
    EXPECT_EQ(cropFactorOf(""), 0.0f);
    EXPECT_EQ(cropFactorOf("0.9"), 0.9f);
    EXPECT_GT(cropFactorOf("1e300"), 1.0f);
    EXPECT_GT(cropFactorOf("1e999"), 1.0f);
}

}  // namespace
}  // namespace zarn
