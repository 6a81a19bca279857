#include "zarn/ui/captions.h"

namespace zarn::ui {

namespace {

const std::string kCrLf = "\r\n";
const std::string kNoticeNL = "(c) ZARN1 PS-team";
const std::string kNoticeUK = "(c) ZARN1 PS team";

std::string spaces(std::size_t n) { return std::string(n, ' '); }

std::vector<Caption> builtIn() {
    return {
        {"ZARN1_PS_REPAIR", "ZARN1 Postscript reparatie en oppoetser"},
        {"Label2", "Zarn1 postscript (pre-PDF)  op-poetser v5.3  " + kNoticeNL},
        {"Frame1", " Drag / Drop zone "},
        // The runs of spaces let word wrapping break the lines.
        {"Label3", spaces(76) + "Input    =    *.P*" + spaces(8) + "ZARN1 postscript file" +
                       spaces(81) + "Output = *_E*.ps /.eps  postscript of  EPS  file"},
        {"Frame2", " Output mode "},
        {"optAfdruk_0", " EPS Mode     voor 2e file"},
        {"optAfdruk_1", " Print Mode"},
        {"chkForceA4_0", " Force   A4"},
        {"chkForceA4_1", " Force   A3"},
        {"Label10", "NO Pagebounding   NO Statusdict      NO Showpage"},
        {"Label11", "Plus Pagebounding en Statusdict"},
        {"Label4", "Extra eind marge in mm    0 - 99"},
        {"Label5", "Extra breedte in mm         0 - 99"},
        {"chkCrop", "Knip  A4/A3    0.90 - 1.00"},
        {"chkLogafdruk", " Popup TXT logfile na conversie"},
        {"chkRotate", " Rotate/Kantel"},
        {"cmdJezusmina", "?"},
        {"GRAY_2_COLOR", " Zarn1 Grijs densiteit naar Kleur "},
        {"Label1", "Vertaal  PS gray naar color,  maar   10 ( 0.0 g )  ==> altijd  black / zwart"},
        {"chkGreen", "9  ( 0.1 g )  ==> groen1"},
        {"chkRed", "8  ( 0.2 g )  ==> rood1"},
        {"chkBlue", "7  ( 0.3 g )  ==> blauw"},
        {"chkMagenta", "6  ( 0.4 g )  ==> magenta"},
        {"chkYellow", "5  ( 0.5 g )  ==> geel"},
        {"chkGroen", "4  ( 0.6 g )  ==> groen2"},
        {"chkRood", "3  ( 0.7 g )  ==> rood2"},
        {"chkCyan", "2  ( 0.8 g )  ==> cyaan"},
    };
}

std::vector<Caption> dutch() {
    auto set = builtIn();
    for (auto& c : set) {
        if (c.control == "ZARN1_PS_REPAIR") c.text = "Zarn1 postscript reparatie en oppoetser";
        if (c.control == "Label2")
            c.text = "ZARN1 Postscript reparatie en oppoetser v5  " + kNoticeNL;
        if (c.control == "Label3")
            c.text = kCrLf + kCrLf + " Input  =  *.P*" + kCrLf + " ZARN1 postscript file" + kCrLf +
                     kCrLf + kCrLf + " Output = *_E*.ps /.eps" + kCrLf + " postscript  of  EPS file";
        if (c.control == "optAfdruk_0") c.text = " EPS Mode" + kCrLf + " voor 2e file";
        if (c.control == "chkForceA4_0") c.text = " Forceer A4";
        if (c.control == "chkForceA4_1") c.text = " Forceer A3";
        if (c.control == "Label10")
            c.text = "NO Pagebounding" + kCrLf + "NO Statusdict" + kCrLf + "NO Showpage";
        if (c.control == "Label11") c.text = "Plus Pagebounding" + kCrLf + "en Statusdict";
        if (c.control == "chkRotate") c.text = "Kantel";
        if (c.control == "GRAY_2_COLOR") c.text = " Zarn1 Grijs densiteit naar Kleur";
    }
    return set;
}

std::vector<Caption> english() {
    auto set = dutch();
    for (auto& c : set) {
        if (c.control == "ZARN1_PS_REPAIR") c.text = "Zarn1 postscript repair and enhance";
        if (c.control == "Label2")
            c.text = "ZARN1 Postscript repair and enhancer v5    " + kNoticeUK;
        if (c.control == "Label3")
            c.text = kCrLf + kCrLf + " Input    =    *.P*" + kCrLf + " ZARN1 postscript file" + kCrLf +
                     kCrLf + kCrLf + " Output = *_E*.ps /.eps  postscript  or  EPS file";
        if (c.control == "optAfdruk_0") c.text = " EPS Mode" + kCrLf + " for 2nd file";
        if (c.control == "chkForceA4_0") c.text = " Force A4";
        if (c.control == "chkForceA4_1") c.text = " Force A3";
        if (c.control == "Label11") c.text = "Plus Pagebounding" + kCrLf + "and Statusdict";
        if (c.control == "Label4") c.text = "Extra end margin in mm    0 - 99";
        if (c.control == "Label5") c.text = "Extra width margin in mm  0 - 99";
        if (c.control == "chkCrop") c.text = "Crop  A4/A3    0.90 - 1.00";
        if (c.control == "chkLogafdruk") c.text = " Popup logfile after conversion";
        if (c.control == "chkRotate") c.text = "Rotate";
        if (c.control == "GRAY_2_COLOR") c.text = " Zarn1 Gray density to Color";
        if (c.control == "Label1")
            c.text = "Translate  PS gray to color,  but   10 ( 0.0 g )  ==> always  black";
        if (c.control == "chkGreen") c.text = "9  ( 0.1 g )  ==> green1";
        if (c.control == "chkRed") c.text = "8  ( 0.2 g )  ==> red1";
        if (c.control == "chkBlue") c.text = "7  ( 0.3 g )  ==> blue";
        if (c.control == "chkYellow") c.text = "5  ( 0.5 g )  ==> yellow";
        if (c.control == "chkGroen") c.text = "4  ( 0.6 g )  ==> green2";
        if (c.control == "chkRood") c.text = "3  ( 0.7 g )  ==> red2";
        if (c.control == "chkCyan") c.text = "2  ( 0.8 g )  ==> cyan";
    }
    return set;
}

}  // namespace

std::vector<Caption> captions(CaptionSet set) {
    switch (set) {
        case CaptionSet::NL: return dutch();
        case CaptionSet::UK: return english();
        case CaptionSet::BuiltIn: break;
    }
    return builtIn();
}

}  // namespace zarn::ui
