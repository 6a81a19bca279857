// The real window, headless: controls, captions, key filters, drops and the help button.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "zarn/ui/help_viewer.h"
#include "zarn/ui/main_window.h"
#include "zarn/ui/qt_platform.h"

namespace zarn::ui {
namespace {

using testing::Board;
using testing::crlf;
using testing::RecordingPlatform;
using testing::ScratchDir;
using testing::writeFile;

QString q(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
QString shown(const std::string& caption) { return q(caption).replace(QLatin1String("\r\n"), QLatin1String("\n")); }

// The caption of a control as set, whatever wrapping the control shows.
QString captionOf(QWidget* w) {
    if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        const QVariant c = b->property("caption");
        return c.isValid() ? c.toString() : b->text();
    }
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

class WindowTest : public ::testing::Test {
protected:
    std::unique_ptr<MainWindow> open(const std::vector<std::string>* ini = nullptr) {
        if (ini) writeFile(dir.file(kSettingsFileName), crlf(*ini));
        MainWindowOptions options;
        options.settingsPath = dir.file(kSettingsFileName);
        options.helpDir = q(dir.path());
        options.platform = &platform;
        return std::make_unique<MainWindow>(options);
    }
    template <class T = QWidget>
    static T* find(QWidget& w, const char* name) {
        T* child = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // A click on the box or button itself, not on its caption.
    static void click(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    static void showActive(MainWindow& w) {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    ScratchDir dir;
    RecordingPlatform platform;
};

TEST_F(WindowTest, StartsWithoutSettingsFile) {
    auto w = open();
    EXPECT_FALSE(w->settingsFileFound());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(w->windowTitle(), "ZARN1 Postscript reparatie en oppoetser");
    EXPECT_EQ(captionOf(find(*w, "chkRotate")), " Rotate/Kantel");
    EXPECT_EQ(captionOf(find(*w, "optAfdruk_0")), " EPS Mode     voor 2e file");
    EXPECT_EQ(captionOf(find(*w, "GRAY_2_COLOR")), " Zarn1 Grijs densiteit naar Kleur ");
    EXPECT_EQ(captionOf(find(*w, "Label3")),
              QString(76, ' ') + "Input    =    *.P*" + QString(8, ' ') + "ZARN1 postscript file" +
                  QString(81, ' ') + "Output = *_E*.ps /.eps  postscript of  EPS  file");

    struct State {
        const char* name;
        bool enabled, on;
    };
    for (const State& s : std::vector<State>{{"optAfdruk_0", true, false},
                                             {"optAfdruk_1", true, true},
                                             {"chkForceA4_0", true, false},
                                             {"chkForceA4_1", true, false},
                                             {"chkRotate", false, false},
                                             {"chkCrop", false, false},
                                             {"chkLogafdruk", true, true},
                                             {"chkGreen", true, true},
                                             {"chkRed", true, true},
                                             {"chkBlue", true, false},
                                             {"chkMagenta", true, true},
                                             {"chkYellow", true, false},
                                             {"chkGroen", true, false},
                                             {"chkRood", true, false},
                                             {"chkCyan", true, false}}) {
        SCOPED_TRACE(s.name);
        auto* b = find<QAbstractButton>(*w, s.name);
        EXPECT_EQ(b->isEnabled(), s.enabled);
        EXPECT_EQ(b->isChecked(), s.on);
    }
    EXPECT_EQ(find<QLineEdit>(*w, "Text_eind")->text(), "10");
    EXPECT_EQ(find<QLineEdit>(*w, "Text_breed")->text(), "15");
    EXPECT_EQ(find<QLineEdit>(*w, "Text_crop")->text(), "1.00");
    EXPECT_FALSE(find(*w, "Text_crop")->isEnabled());
    const JobSettings& s = w->settings();
    EXPECT_EQ(s.pageregel, 1);
    EXPECT_EQ(s.optsel, 1);
    EXPECT_EQ(s.LogAfdruk, 1);
    EXPECT_EQ(s.kantel, 1);
    EXPECT_EQ(s.Force_A4 + s.Force_A3 + s.Force_crop + s.okido, 0);
    EXPECT_EQ(s.Crop_Factor, 1.0f);
    EXPECT_EQ(s.LANG, "NL");
}

TEST_F(WindowTest, CountryFortyFourSetsEveryEnglishCaption) {
    const std::vector<std::string> ini{"COUNTRY = 44"};
    auto w = open(&ini);
    EXPECT_TRUE(w->settingsFileFound());
    EXPECT_EQ(w->windowTitle(), "Zarn1 postscript repair and enhance");
    EXPECT_TRUE(captionOf(find(*w, "Label2")).startsWith("ZARN1 Postscript repair and enhancer v5    "));
    const std::string nl = "\r\n";
    const std::map<std::string, std::string> uk{
        {"Frame1", " Drag / Drop zone "},
        {"Label3", nl + nl + " Input    =    *.P*" + nl + " ZARN1 postscript file" + nl + nl + nl +
                       " Output = *_E*.ps /.eps  postscript  or  EPS file"},
        {"Frame2", " Output mode "},
        {"optAfdruk_0", " EPS Mode" + nl + " for 2nd file"},
        {"optAfdruk_1", " Print Mode"},
        {"chkForceA4_0", " Force A4"},
        {"chkForceA4_1", " Force A3"},
        {"Label10", "NO Pagebounding" + nl + "NO Statusdict" + nl + "NO Showpage"},
        {"Label11", "Plus Pagebounding" + nl + "and Statusdict"},
        {"Label4", "Extra end margin in mm    0 - 99"},
        {"Label5", "Extra width margin in mm  0 - 99"},
        {"chkCrop", "Crop  A4/A3    0.90 - 1.00"},
        {"chkLogafdruk", " Popup logfile after conversion"},
        {"chkRotate", "Rotate"},
        {"cmdJezusmina", "?"},
        {"GRAY_2_COLOR", " Zarn1 Gray density to Color"},
        {"Label1", "Translate  PS gray to color,  but   10 ( 0.0 g )  ==> always  black"},
        {"chkGreen", "9  ( 0.1 g )  ==> green1"},
        {"chkRed", "8  ( 0.2 g )  ==> red1"},
        {"chkBlue", "7  ( 0.3 g )  ==> blue"},
        {"chkMagenta", "6  ( 0.4 g )  ==> magenta"},
        {"chkYellow", "5  ( 0.5 g )  ==> yellow"},
        {"chkGroen", "4  ( 0.6 g )  ==> green2"},
        {"chkRood", "3  ( 0.7 g )  ==> red2"},
        {"chkCyan", "2  ( 0.8 g )  ==> cyan"},
    };
    for (const auto& [name, text] : uk) EXPECT_EQ(captionOf(find(*w, name.c_str())), shown(text)) << name;
}

TEST_F(WindowTest, EmptySettingsFileSetsTheDutchCaptions) {
    const std::vector<std::string> ini{"%% nothing to set"};
    auto w = open(&ini);
    EXPECT_EQ(w->windowTitle(), "Zarn1 postscript reparatie en oppoetser");
    EXPECT_EQ(captionOf(find(*w, "chkRotate")), "Kantel");
    EXPECT_EQ(captionOf(find(*w, "optAfdruk_0")), " EPS Mode\n voor 2e file");
    EXPECT_EQ(captionOf(find(*w, "chkForceA4_1")), " Forceer A3");
    EXPECT_EQ(captionOf(find(*w, "Label3")),
              "\n\n Input  =  *.P*\n ZARN1 postscript file\n\n\n Output = *_E*.ps /.eps\n "
              "postscript  of  EPS file");
}

TEST_F(WindowTest, SettingsFileGoesThroughTheControls) {
    const std::vector<std::string> ini{"WRONG = 1", "FORCEA4 = 2", "ROTATE = 1", "MARGINWIDTH = 7",
                                       "CYAN = 1", "POPUPTXT = 0"};
    auto w = open(&ini);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Fout !");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(find<QAbstractButton>(*w, "chkForceA4_1")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>(*w, "chkRotate")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>(*w, "chkCyan")->isChecked());
    EXPECT_FALSE(find<QAbstractButton>(*w, "chkLogafdruk")->isChecked());
    EXPECT_EQ(find<QLineEdit>(*w, "Text_breed")->text(), "7");
    EXPECT_EQ(w->settings().kantel, 0);
    EXPECT_EQ(w->settings().LogAfdruk, 0);
}

TEST_F(WindowTest, ClicksFollowTheStateTable) {
    auto w = open();
    showActive(*w);
    auto* a4 = find<QAbstractButton>(*w, "chkForceA4_0");
    auto* a3 = find<QAbstractButton>(*w, "chkForceA4_1");
    auto* crop = find<QAbstractButton>(*w, "chkCrop");
    auto* rotate = find<QAbstractButton>(*w, "chkRotate");
    auto* eps = find<QAbstractButton>(*w, "optAfdruk_0");
    auto* print = find<QAbstractButton>(*w, "optAfdruk_1");
    auto* field = find<QLineEdit>(*w, "Text_crop");

    click(a4);
    EXPECT_TRUE(rotate->isEnabled() && crop->isEnabled() && field->isEnabled());
    EXPECT_EQ(w->settings().Force_A4, 1);
    click(rotate);
    click(crop);
    EXPECT_EQ(field->text(), "0.95");
    EXPECT_EQ(w->settings().Force_crop, 1);
    click(a3);  // the other size goes, rotation stays, crop is dropped
    EXPECT_FALSE(a4->isChecked());
    EXPECT_TRUE(a3->isChecked());
    EXPECT_TRUE(rotate->isChecked());
    EXPECT_EQ(w->settings().kantel, 0);
    EXPECT_FALSE(crop->isChecked());
    EXPECT_EQ(field->text(), "1.00");
    click(print);  // already selected: stays so, changes nothing
    EXPECT_TRUE(print->isChecked());
    EXPECT_TRUE(a3->isChecked());
    click(eps);
    EXPECT_TRUE(eps->isChecked());
    EXPECT_FALSE(print->isChecked());
    EXPECT_FALSE(a3->isChecked() || a3->isEnabled() || rotate->isChecked() || rotate->isEnabled());
    EXPECT_EQ(w->settings().pageregel, 0);
    EXPECT_EQ(w->settings().kantel, 1);
    click(eps);
    EXPECT_TRUE(eps->isChecked());
    click(print);
    EXPECT_TRUE(a4->isChecked());
    EXPECT_EQ(w->settings().Force_A4, 1);
    EXPECT_EQ(w->settings().pageregel, 1);
}

TEST_F(WindowTest, KeyFiltersActOnTypedKeys) {
    auto w = open();
    showActive(*w);
    auto* eind = find<QLineEdit>(*w, "Text_eind");
    auto* breed = find<QLineEdit>(*w, "Text_breed");
    auto* crop = find<QLineEdit>(*w, "Text_crop");
    click(find<QAbstractButton>(*w, "chkForceA4_0"));

    crop->setFocus();
    crop->clear();
    QTest::keyClicks(crop, "a-0.5x");
    EXPECT_EQ(crop->text(), "0.5");
    eind->clear();
    QTest::keyClick(eind, Qt::Key_Q);  // swallowed, and the crop test resets the factor
    EXPECT_EQ(eind->text(), "");
    EXPECT_EQ(crop->text(), "1.00");
    EXPECT_EQ(w->settings().Crop_Factor, 0.5f);

    breed->clear();
    QTest::keyClick(eind, Qt::Key_4);
    EXPECT_EQ(eind->text(), "4");
    EXPECT_EQ(breed->text(), "0");

    crop->setFocus();
    crop->clear();
    QTest::keyClick(crop, Qt::Key_Return);
    EXPECT_EQ(crop->text(), "1.00");
    EXPECT_EQ(QApplication::focusWidget(), eind);
    QTest::keyClick(eind, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), breed);
    QTest::keyClick(breed, Qt::Key_Backspace);
    QTest::keyClick(breed, Qt::Key_Return);
    EXPECT_EQ(breed->text(), "0");
    EXPECT_EQ(QApplication::focusWidget(), crop);

    // Without a forced size the crop field is disabled: Enter fills the fields, focus stays.
    click(find<QAbstractButton>(*w, "chkForceA4_0"));
    breed->setFocus();
    breed->clear();
    eind->clear();
    QTest::keyClick(breed, Qt::Key_Enter);
    EXPECT_EQ(breed->text(), "0");
    EXPECT_EQ(eind->text(), "0");
    EXPECT_EQ(QApplication::focusWidget(), breed);
}

// A margin field holds two digits, the crop field four characters: typing on changes nothing.
TEST_F(WindowTest, FieldsTakeNoMoreThanTheirValuesNeed) {
    auto w = open();
    showActive(*w);
    click(find<QAbstractButton>(*w, "chkForceA4_0"));
    const struct {
        const char* name;
        const char* typed;
        const char* kept;
    } rows[] = {{"Text_eind", "123", "12"}, {"Text_breed", "987", "98"}, {"Text_crop", "0.955", "0.95"}};
    for (const auto& r : rows) {
        auto* field = find<QLineEdit>(*w, r.name);
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, r.typed);
        EXPECT_EQ(field->text().toStdString(), r.kept) << r.name;
    }
}

TEST_F(WindowTest, PastedTextPassesTheKeyFilters) {
    auto w = open();
    showActive(*w);
    auto* eind = find<QLineEdit>(*w, "Text_eind");
    auto* crop = find<QLineEdit>(*w, "Text_crop");
    eind->setFocus();
    eind->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("a4\r\nx2"));
    QTest::keyClick(eind, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(eind->text(), "42");

    click(find<QAbstractButton>(*w, "chkForceA4_0"));
    crop->setFocus();
    crop->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("0,9-5e7"));
    QTest::keyClick(crop, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(crop->text(), "0957");
}

// Sends a drag and a drop onto the drop zone; returns whether the drag was accepted.
bool dragAndDrop(QWidget* zone, QMimeData* data) {
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(zone, &enter);
    const bool accepted = enter.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(zone, &drop);
    QCoreApplication::processEvents();
    return accepted;
}

TEST_F(WindowTest, DropOfAFileRunsAConversionWithTheWindowValues) {
    auto w = open();
    writeFile(dir.file("BOARD.P01"), Board().bytes());
    find<QLineEdit>(*w, "Text_eind")->setText("5");
    find<QAbstractButton>(*w, "chkBlue")->setChecked(true);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(q(dir.file("BOARD.P01")))});
    EXPECT_TRUE(dragAndDrop(find(*w, "Label3"), &data));
    ASSERT_TRUE(w->lastDrop().has_value());
    EXPECT_EQ(w->lastDrop()->outcome, DropOutcome::Completed) << w->lastDrop()->message;
    EXPECT_TRUE(testing::fileExists(dir.file("BOARD_E01.ps")));
    EXPECT_EQ(platform.opened, std::vector<std::string>{dir.file("BOARD_E01_log.TXT")});
    EXPECT_EQ(w->settings().marge, 5);
    EXPECT_TRUE(w->settings().colourTicked[2]);
    EXPECT_EQ(platform.ended, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, DropsThatAreRefused) {
    writeFile(dir.file("BOARD.P01"), Board().bytes());
    writeFile(dir.file("OTHER.P01"), Board().bytes());
    const QUrl board = QUrl::fromLocalFile(q(dir.file("BOARD.P01")));
    struct Row {
        const char* name;
        QList<QUrl> urls;
        bool richText;
        DropOutcome outcome;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"two files", {board, QUrl::fromLocalFile(q(dir.file("OTHER.P01")))}, false,
         DropOutcome::SeveralFiles, "Sorry, 1 tegelijk!"},
        {"a folder", {QUrl::fromLocalFile(q(dir.path()))}, false, DropOutcome::Directory,
         "Sorry alleen files, geen directories"},
        {"a file offered as rich text too", {board}, true, DropOutcome::RichText,
         "Sorry alleen Zarn1 *.ps files"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        platform.messages.clear();
        auto w = open();
        QMimeData data;
        data.setUrls(row.urls);
        if (row.richText) data.setData(QStringLiteral("text/rtf"), "{\\rtf1 board}");
        EXPECT_TRUE(dragAndDrop(find(*w, "Label3"), &data));
        ASSERT_TRUE(w->lastDrop().has_value());
        EXPECT_EQ(w->lastDrop()->outcome, row.outcome);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, row.message);
        EXPECT_EQ(platform.ended, 0);
        EXPECT_FALSE(testing::fileExists(dir.file("BOARD_E01.ps")));
    }
}

TEST_F(WindowTest, DropWithoutLocalFilesIsNotAccepted) {
    auto w = open();
    QMimeData text;
    text.setText(QStringLiteral("some dragged words"));
    EXPECT_FALSE(dragAndDrop(find(*w, "Label3"), &text));
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://example.org/board.P01"))});
    EXPECT_FALSE(dragAndDrop(find(*w, "Label3"), &link));
    EXPECT_FALSE(w->lastDrop().has_value());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.ended, 0);
}

TEST_F(WindowTest, HelpButtonShowsTheHelpOfTheLanguage) {
    writeFile(dir.file("ZARN1NL.HLP"),
              "<html><head><title>Hulp</title></head><body><p>Sleep een bestand</p></body></html>");
    auto w = open();
    QTest::mouseClick(find<QAbstractButton>(*w, "cmdJezusmina"), Qt::LeftButton);
    ASSERT_NE(w->helpViewer(), nullptr);
    EXPECT_TRUE(w->helpViewer()->isVisible());
    EXPECT_EQ(w->helpViewer()->windowTitle(), "Hulp");
    EXPECT_TRUE(w->helpViewer()->browser()->toPlainText().contains("Sleep een bestand"));
    EXPECT_TRUE(platform.messages.empty());
    w->helpViewer()->close();
}

TEST_F(WindowTest, HelpButtonWithoutHelpFileShowsTheNotFoundMessage) {
    writeFile(dir.file("ZARN1NL.HLP"), "<p>alleen Nederlands</p>");
    {
        auto w = open();
        std::remove(dir.file("ZARN1NL.HLP").c_str());
        w->cmdJezusmina_Click();
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].title, "Fout !");
        EXPECT_EQ(platform.messages[0].text,
                  "Er is iets mis!   \rHelp bestand ZARN1NL.HLP niet gevonden  \r");
    }
    writeFile(dir.file("ZARN1NL.HLP"), "<p>alleen Nederlands</p>");
    platform.messages.clear();
    const std::vector<std::string> ini{"COUNTRY = 44"};
    auto w = open(&ini);
    w->cmdJezusmina_Click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Error !");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(platform.messages[0].text, "Something is wrong!   \rHelp file ZARN1UK.HLP not found  \r");
    EXPECT_TRUE(w->helpViewer() == nullptr || !w->helpViewer()->isVisible());
}

TEST(ShippedHelp, BothFilesOpenAndExplainEverySettingsKey) {
    for (const char* name : {"ZARN1NL.HLP", "ZARN1UK.HLP"}) {
        SCOPED_TRACE(name);
        HelpViewer viewer;
        ASSERT_TRUE(viewer.showFile(QStringLiteral(ZARN_HELP_DIR "/") + QLatin1String(name)));
        const QString text = viewer.browser()->toPlainText();
        for (const char* key : {"COUNTRY", "MARGINLENGTH", "MARGINWIDTH", "PAGEMODE", "FORCEA4",
                                "POPUPTXT", "GREEN1", "RED1", "GREEN2", "RED2", "BLUE", "MAGENTA",
                                "YELLOW", "CYAN", "ROTATE", "CROP", "OK", "ZARN1_PS.INI", "_log.TXT"})
            EXPECT_TRUE(text.contains(QLatin1String(key))) << key;
        viewer.close();
    }
}

TEST(QtPlatformText, CarriageReturnsBecomeLineBreaks) {
    EXPECT_EQ(messageText("Er is iets mis!   \rHelp bestand\r"), "Er is iets mis!   \nHelp bestand");
    EXPECT_EQ(messageText("one\r\ntwo"), "one\ntwo");
}

}  // namespace
}  // namespace zarn::ui
