// Every message, title and log text of the program, Dutch and English side by side. The
// window's captions are a table of their own, beside the window.
#pragma once

namespace zarn::texts {

struct Bilingual {
    const char* nl;
    const char* uk;
    const char* in(bool english) const { return english ? uk : nl; }
};

// Message titles.
inline constexpr Bilingual kErrorTitle{"Fout !", "Error !"};
inline constexpr const char* kDoneTitle = "Okido !";

// Messages; a CR separates the lines of one message.
inline constexpr Bilingual kCropFactor{"Knip factor ongeldig!", "Crop factor out of range!"};
inline constexpr Bilingual kSeveralFiles{"Sorry, 1 tegelijk!", "Sorry, 1 at a time!"};
inline constexpr Bilingual kDirectory{"Sorry alleen files, geen directories",
                                      "Sorry only files, NO directories"};
inline constexpr Bilingual kRichText{"Sorry alleen Zarn1 *.ps files",
                                     "Sorry only Zarn1 *.ps files"};
inline constexpr Bilingual kBadName{
    "Is de invoernaam wel OK?  \rIk verwacht een standaard Zarn1 PS = *.Pxx bestand ",
    "Is the inputname OK?  \rI expect a standard Zarn1 PS file = *.Pxx format "};
inline constexpr Bilingual kNotPostScript{
    "Is de invoer naam wel OK?  \rIs het wel postscript, ik mis iets (%%)  ",
    "Is the input name OK?  \rIs it really postscript, I miss something (%%)  "};
inline constexpr Bilingual kSecondTime{
    "Is de invoernaam OK?  \rDit is de tweede keer, niet doen...  ",
    "Is the inputfilename OK?  \rThis is the second time, don't do that...  "};
inline constexpr Bilingual kRuntimeFailure{"Hardstikke fout!  \rEr trad een fout op, type  \r",
                                           "Totally wrong!  \rSomething went wrong, type  \r"};
inline constexpr Bilingual kCompleted{"Routine tot eind volbracht ! ", "Conversion completed ! "};
// A settings-file line that names no known key; the line itself follows.
inline constexpr Bilingual kSettingsBadLine{
    "Is de INI file wel OK?  \rEr zit een foutje in !! \r",
    "Is the INI file OK?  \rI think there's an error !! \r"};

// The help button.
inline constexpr Bilingual kHelpFile{"ZARN1NL.HLP", "ZARN1UK.HLP"};
inline constexpr Bilingual kHelpNotFound{
    "Er is iets mis!   \rHelp bestand ZARN1NL.HLP niet gevonden  \r",
    "Something is wrong!   \rHelp file ZARN1UK.HLP not found  \r"};

// The log frame.
inline constexpr Bilingual kBanner{
    " ZARN1 postscript 'setpageparams' aanpasser voor o.a. Linotype en Monotype fotozetters.   ",
    " ZARN1 postscript 'setpageparams' enhancer for Phototypesetters a.o.  Linotype / Monotype.  "
    " "};
inline constexpr Bilingual kAuthorship{" Gemaakt door het ZARN1 PS repair team",
                                       " Made by the ZARN1 PS repair team"};
inline constexpr const char* kInputFile = " input file  =  ";
inline constexpr const char* kOutputFile = " output file =  ";
inline constexpr Bilingual kEpsMode{" Programma loopt in EPS mode, vandaar .EPS extensie",
                                    " Program runs in EPS mode, thats why .EPS extension"};
inline constexpr Bilingual kPrintMode{" Programma loopt in PRINT mode, vandaar .PS extensie",
                                      " Program runs in PRINT mode, thats why .PS extension"};
inline constexpr Bilingual kRotated{" output is Gekanteld  = speciaal",
                                    " output is ROTATED  = special"};
inline constexpr Bilingual kNotRotated{" output is NIET gekanteld  = normaal ",
                                       " output is NOT ROTATED  = normal "};

// The version line.
inline constexpr Bilingual kVersionLead{" Zarn postscript versie ", " Zarn postscript version "};
inline constexpr const char* kVersionNumber = "7.xx ";
inline constexpr Bilingual kVersionNot{"NIET ", "NOT "};
inline constexpr Bilingual kVersionFound{"geconstateerd!", "found!"};

// The geometry report.
inline constexpr Bilingual kStatedHeading{
    "----------- Volgens Adobe %%BoundingBox parameters: -----(buggy !!!)----------",
    "----------- According to the Adobe %%BoundingBox parameters: -----(buggy !!!)----------"};
inline constexpr Bilingual kStatedOriginX{" Oorsprong X-maat opgave in de job = ",
                                          " Origin X-value out of the job = "};
inline constexpr Bilingual kStatedOriginY{" Oorsprong Y-maat opgave in de job = ",
                                          " Origin Y-value out of the job = "};
inline constexpr Bilingual kStatedMaxX{" Maximale  X-maat opgave in de job = ",
                                       " Maximum  X-value out of the job = "};
inline constexpr Bilingual kStatedMaxY{" Maximale  Y-maat opgave in de job = ",
                                       " Maximum  Y-value out of the job = "};
inline constexpr Bilingual kJobOnly{" mm,  alleen Job =", " mm,  Job only ="};
inline constexpr Bilingual kMeasuredHeading{
    "------------ Werkelijke gegevens uit de printjob gedestilleerd: --------------",
    "------------ Real world values distilled out of the job: --------------"};
inline constexpr Bilingual kZeroOffset{" Zarn nulpunt offset: ", " Zarn zeropoint offset: "};
inline constexpr Bilingual kAndY{"en Y =", "and Y ="};
inline constexpr Bilingual kMmAndY{"mm en Y =", "mm and Y ="};
inline constexpr Bilingual kV7Offset{" Zarn7 korr.  offset, ", " Zarn7 corr.  offset, "};
inline constexpr Bilingual kInPostScript{" en in Postscript : ", " and in Postscript : "};
inline constexpr Bilingual kPsX{"X=", "X ="};
inline constexpr Bilingual kPsAndY{"en Y=", "and Y ="};
inline constexpr Bilingual kScale{" Schaalfactor = ", " Scalefactor = "};
inline constexpr Bilingual kNoTranslate{
    " Geen ZARN-postscript translate parameter gevonden! Klopt alles wel?",
    " NO ZARN-postscript translate parameter found! Is all OK?"};
inline constexpr Bilingual kMaxX{" Maximale  X-maat in de job = ",
                                 " Maximum  X-value in the job = "};
inline constexpr Bilingual kMaxY{" Maximale  Y-maat in de job = ",
                                 " Maximum  Y-value in the job = "};
inline constexpr Bilingual kOriginX{" Oorsprong X-maat in de job = ",
                                    " Origin X-value in the job = "};
inline constexpr Bilingual kOriginY{" Oorsprong Y-maat in de job = ",
                                    " Origin Y-value in the job = "};
inline constexpr Bilingual kJobSize{" Maximale belichtingsmaat van de job zelf is dus: ",
                                    " Maximum phototypevalue of the job itself makes : "};
inline constexpr Bilingual kAnd{" en ", " and "};
inline constexpr Bilingual kXLarger{" X-maat is groter!  (", " X-value is larger!  ("};
inline constexpr Bilingual kXFits{" X-maat moet kunnen!   ", " X-value looks OK!   "};
inline constexpr Bilingual kXSmaller{" X-maat is kleiner!  (", " X-value is smaller!  ("};
inline constexpr Bilingual kYLarger{" Y-maat is groter  (", " Y-value is larger  ("};
inline constexpr Bilingual kYFits{" Y-maat moet kunnen!", " Y-value looks OK!"};
inline constexpr Bilingual kYSmaller{" Y-maat is kleiner!  (", " Y-value is smaller!  ("};
inline constexpr Bilingual kEndMargin{"mm extra EINDmarge  ", "mm extra ENDmargin "};
inline constexpr Bilingual kMarginY{"Y =", "Y="};
inline constexpr Bilingual kExtraWidth{"mm extra breedte  ", "mm extra width  "};
inline constexpr Bilingual kWidthX{"X =", "X="};
inline constexpr Bilingual kThatMakesInPs{" Dat is in Postscript : ",
                                          " That makes in Postscript : "};
inline constexpr Bilingual kThatMakesAndY{"en Y =", "and Y ="};
inline constexpr Bilingual kForcedA4{" Maar met afgedwongen A4 ", " But with Forced A4 "};
inline constexpr Bilingual kEventuallyX{"in dit geval dus uiteindelijk X =",
                                        "in this case so eventually X ="};
inline constexpr Bilingual kEventuallyAndY{"en Y =", "and Y = "};
inline constexpr Bilingual kForcedA3{" Maar met afgedwongen A3! ", " But with Forced A3! "};
inline constexpr Bilingual kCropFactorNote{"en knipfactor ", "and cropfactor "};

// Checks of the written boxes, added to the log with VERIFY (and said by the batch converter).
// Page warnings: "<kJobIs>312 x 455 mm<kForcedPage>A4<kPage>210 x 297 mm<kFilmCut>".
inline constexpr Bilingual kJobIs{" Let op: de job is ", " Warning: the job is "};
inline constexpr Bilingual kForcedPage{", de afgedwongen ", ", the forced "};
inline constexpr Bilingual kPage{" pagina ", " page "};
inline constexpr Bilingual kFilmCut{": de film wordt afgesneden", ": the film will be cut"};
// "<kJobStartsAt>-3 x 0 mm<kOffThePage>"
inline constexpr Bilingual kJobStartsAt{" Let op: de job begint bij ",
                                        " Warning: the job starts at "};
inline constexpr Bilingual kOffThePage{", links van of onder de pagina: de film wordt afgesneden",
                                       ", left of or below the page: the film will be cut"};
// Verification by Ghostscript: "<kOutsideBox>left 1.2 mm, bottom 1.2 mm".
inline constexpr Bilingual kVerifiedBox{" Gecontroleerd: alle inkt ligt binnen de BoundingBox",
                                        " Verified: every mark lies inside the BoundingBox"};
inline constexpr Bilingual kVerifiedPage{" Gecontroleerd: alle inkt ligt op de pagina",
                                         " Verified: every mark lies on the page"};
inline constexpr Bilingual kOutsideBox{" Inkt buiten de BoundingBox: ",
                                       " Marks outside the BoundingBox: "};
inline constexpr Bilingual kOutsidePage{" Inkt buiten de pagina: ", " Marks outside the page: "};
inline constexpr Bilingual kSides[4]{
    {"links ", "left "}, {"onder ", "bottom "}, {"rechts ", "right "}, {"boven ", "top "}};
inline constexpr Bilingual kInkBoxWouldHold{
    " De inktbox (INKBOX = 1, --ink-box) zou alle inkt omvatten",
    " The ink box (INKBOX = 1, --ink-box) would hold every mark"};
inline constexpr Bilingual kNotVerified{" Niet gecontroleerd: ", " Not verified: "};

// The job handed to a print queue: "<kSentTo>typesetter<kAsJob>42".
inline constexpr Bilingual kSentTo{" Verstuurd naar printwachtrij ", " Sent to print queue "};
inline constexpr Bilingual kAsJob{" als job ", " as job "};
inline constexpr Bilingual kNotSentTo{" Niet verstuurd naar printwachtrij ",
                                      " Not sent to print queue "};
inline constexpr Bilingual kCheckFailed{": de controle is niet geslaagd",
                                        ": the check did not pass"};

// What Ghostscript does while the window waits for it, in the order of ChildTask.
inline constexpr Bilingual kChildTasks[3]{
    {"Controle", "Checking"}, {"PDF", "PDF"}, {"Voorbeeld", "Preview"}};

}  // namespace zarn::texts
