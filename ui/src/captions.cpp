#include "zarn/ui/captions.h"

#include "zarn/colour_boxes.h"
#include "zarn/version.h"

namespace zarn::ui {

namespace {

const std::string kCrLf = "\r\n";
const std::string kNoticeNL = "(c) ZARN1 PS-team";
const std::string kNoticeUK = "(c) ZARN1 PS team";

std::string spaces(std::size_t n) { return std::string(n, ' '); }

struct CaptionRow {
    std::string control;  // object name; "ZARN1_PS_REPAIR" is the window title
    std::string builtIn, nl, uk;
};

// Every caption in its three sets, side by side.
const std::vector<CaptionRow>& table() {
    static const std::vector<CaptionRow> fixedRows{
        {"ZARN1_PS_REPAIR", "ZARN1 Postscript reparatie en oppoetser",
         "Zarn1 postscript reparatie en oppoetser", "Zarn1 postscript repair and enhance"},
        {"Label2",
         "Zarn1 postscript (pre-PDF)  op-poetser v" + std::string(kVersion) + "  " + kNoticeNL,
         "ZARN1 Postscript reparatie en oppoetser v" + std::string(kMajorVersion) + "  " +
             kNoticeNL,
         "ZARN1 Postscript repair and enhancer v" + std::string(kMajorVersion) + "    " +
             kNoticeUK},
        {"Frame1", " Drag / Drop zone ", " Drag / Drop zone ", " Drag / Drop zone "},
        // The built-in runs of spaces let word wrapping break the lines.
        {"Label3",
         spaces(76) + "Input    =    *.P*" + spaces(8) + "ZARN1 postscript file" + spaces(81) +
             "Output = *_E*.ps /.eps  postscript of  EPS  file",
         kCrLf + kCrLf + " Input  =  *.P*" + kCrLf + " ZARN1 postscript file" + kCrLf + kCrLf +
             kCrLf + " Output = *_E*.ps /.eps" + kCrLf + " postscript  of  EPS file",
         kCrLf + kCrLf + " Input    =    *.P*" + kCrLf + " ZARN1 postscript file" + kCrLf + kCrLf +
             kCrLf + " Output = *_E*.ps /.eps  postscript  or  EPS file"},
        {"Frame2", " Output mode ", " Output mode ", " Output mode "},
        {"optAfdruk_0", " EPS Mode     voor 2e file", " EPS Mode" + kCrLf + " voor 2e file",
         " EPS Mode" + kCrLf + " for 2nd file"},
        {"optAfdruk_1", " Print Mode", " Print Mode", " Print Mode"},
        {"chkForceA4_0", " Force   A4", " Forceer A4", " Force A4"},
        {"chkForceA4_1", " Force   A3", " Forceer A3", " Force A3"},
        {"Label10", "NO Pagebounding   NO Statusdict      NO Showpage",
         "NO Pagebounding" + kCrLf + "NO Statusdict" + kCrLf + "NO Showpage",
         "NO Pagebounding" + kCrLf + "NO Statusdict" + kCrLf + "NO Showpage"},
        {"Label11", "Plus Pagebounding en Statusdict",
         "Plus Pagebounding" + kCrLf + "en Statusdict",
         "Plus Pagebounding" + kCrLf + "and Statusdict"},
        {"Label4", "Extra eind marge in mm    0 - 99", "Extra eind marge in mm    0 - 99",
         "Extra end margin in mm    0 - 99"},
        {"Label5", "Extra breedte in mm         0 - 99", "Extra breedte in mm         0 - 99",
         "Extra width margin in mm  0 - 99"},
        {"chkCrop", "Knip  A4/A3    0.90 - 1.00", "Knip  A4/A3    0.90 - 1.00",
         "Crop  A4/A3    0.90 - 1.00"},
        {"chkLogafdruk", " Popup TXT logfile na conversie", " Popup TXT logfile na conversie",
         " Popup logfile after conversion"},
        {"chkRotate", " Rotate/Kantel", "Kantel", "Rotate"},
        {"cmdJezusmina", "?", "?", "?"},
        {"GRAY_2_COLOR", " Zarn1 Grijs densiteit naar Kleur ", " Zarn1 Grijs densiteit naar Kleur",
         " Zarn1 Gray density to Color"},
        {"Label1", "Vertaal  PS gray naar color,  maar   10 ( 0.0 g )  ==> altijd  black / zwart",
         "Vertaal  PS gray naar color,  maar   10 ( 0.0 g )  ==> altijd  black / zwart",
         "Translate  PS gray to color,  but   10 ( 0.0 g )  ==> always  black"},
    };
    static const std::vector<CaptionRow> all = [] {
        std::vector<CaptionRow> rows = fixedRows;
        for (const ColourBox& box : kColourBoxes) {
            auto caption = [&](std::string_view colour) {
                return std::string(1, box.captionDigit) + "  ( 0." + box.grayDigit + " g )  ==> " +
                       std::string(colour);
            };
            rows.push_back({std::string(box.objectName), caption(box.nameNL), caption(box.nameNL),
                            caption(box.nameUK)});
        }
        return rows;
    }();
    return all;
}

}  // namespace

std::vector<Caption> captions(CaptionSet set) {
    std::vector<Caption> out;
    for (const CaptionRow& row : table()) {
        const std::string& text = set == CaptionSet::NL   ? row.nl
                                  : set == CaptionSet::UK ? row.uk
                                                          : row.builtIn;
        out.push_back({row.control, text});
    }
    return out;
}

}  // namespace zarn::ui
