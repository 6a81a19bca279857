// The real window, headless: that its widgets are wired to the option model, the caption table,
// the drop zone and the help button. What the handlers and key filters decide is tested on the
// window-less model.
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
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"
#include "zarn/ui/captions.h"
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

QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
QString shown(const std::string& caption) {
    return q(caption).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

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

// Every control's state as the user sees it, one word a control.
std::string stateOf(const OptionControls& c) {
    std::string state;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Ctl k = static_cast<Ctl>(i);
        const bool field = k >= Ctl::Text_eind;
        state += std::string(c.isEnabled(k) ? "E" : "-") +
                 (field           ? c.text(k)
                  : c.isTicked(k) ? "1"
                                  : "0") +
                 " ";
    }
    return state;
}

// The settings file and a list of clicks leave every widget as they leave the model.
TEST_F(WindowTest, WidgetsMirrorTheModel) {
    const std::vector<std::string> ini{"WRONG = 1", "FORCEA4 = 1", "MARGINWIDTH = 7", "CYAN = 1"};
    auto w = open(&ini);
    showActive(*w);
    JobSettings s;
    HeadlessWindow model(s);
    applyStartValues(model.controls(), s);
    readSettingsFile(dir.file(kSettingsFileName), model.controls(), s, {});
    EXPECT_EQ(stateOf(w->controls()), stateOf(model.controls()));

    for (const char* name : {"chkRotate", "chkCrop", "chkForceA4_1", "chkBlue", "chkLogafdruk",
                             "optAfdruk_1", "optAfdruk_0", "chkCrop", "optAfdruk_1"}) {
        SCOPED_TRACE(name);
        for (std::size_t i = 0; i < kControlCount; ++i) {
            const Ctl c = static_cast<Ctl>(i);
            if (static_cast<QtControls&>(w->controls()).widget(c)->objectName() !=
                QLatin1String(name))
                continue;
            click(find<QAbstractButton>(*w, name));
            if (c == Ctl::optEps || c == Ctl::optPrint)
                model.controls().setSelected(c, true);
            else if (model.controls().isEnabled(c))
                model.controls().setTicked(c, !model.controls().isTicked(c));
        }
        EXPECT_EQ(stateOf(w->controls()), stateOf(model.controls()));
        const JobSettings& got = w->settings();
        EXPECT_EQ(std::make_tuple(got.pageregel, got.optsel, got.Force_A4, got.Force_A3, got.kantel,
                                  got.Force_crop, got.LogAfdruk, got.breedte),
                  std::make_tuple(s.pageregel, s.optsel, s.Force_A4, s.Force_A3, s.kantel,
                                  s.Force_crop, s.LogAfdruk, s.breedte));
    }
    ASSERT_EQ(platform.messages.size(), 1u);  // the wrong line
    EXPECT_EQ(platform.messages[0].title, "Fout !");
}

// Each set of the caption table lands on the controls it names.
TEST_F(WindowTest, CaptionsOfEachLanguage) {
    const std::vector<std::string> dutch{"%% nothing to set"}, english{"COUNTRY = 44"};
    const std::pair<CaptionSet, const std::vector<std::string>*> sets[] = {
        {CaptionSet::BuiltIn, nullptr}, {CaptionSet::NL, &dutch}, {CaptionSet::UK, &english}};
    for (const auto& [set, ini] : sets) {
        auto w = open(ini);
        for (const Caption& caption : captions(set)) {
            SCOPED_TRACE(caption.control);
            if (caption.control == "ZARN1_PS_REPAIR")
                EXPECT_EQ(w->windowTitle(), shown(caption.text));
            else
                EXPECT_EQ(captionOf(find(*w, caption.control.c_str())), shown(caption.text));
        }
    }
}

// Typed and pasted text goes through the key filters; a field holds no more than its value.
TEST_F(WindowTest, FieldsFilterWhatIsTypedOrPasted) {
    auto w = open();
    showActive(*w);
    auto* eind = find<QLineEdit>(*w, "Text_eind");
    auto* crop = find<QLineEdit>(*w, "Text_crop");
    click(find<QAbstractButton>(*w, "chkForceA4_0"));
    const struct {
        const char* field;
        const char* typed;
        const char* pasted;
        const char* kept;
    } rows[] = {{"Text_eind", "1q23", nullptr, "12"},
                {"Text_breed", "987", nullptr, "98"},
                {"Text_crop", "a-0.955", nullptr, "0.95"},
                {"Text_eind", nullptr, "a4\r\nx2", "42"},
                {"Text_crop", nullptr, "0,9-5e7", "0957"}};
    for (const auto& r : rows) {
        auto* field = find<QLineEdit>(*w, r.field);
        field->setFocus();
        field->clear();
        if (r.typed) QTest::keyClicks(field, r.typed);
        if (r.pasted) {
            QGuiApplication::clipboard()->setText(QLatin1String(r.pasted));
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        }
        EXPECT_EQ(field->text().toStdString(), r.kept) << r.field;
    }
    crop->setFocus();
    QTest::keyClick(crop, Qt::Key_Return);  // Enter moves on, as the model says
    EXPECT_EQ(QApplication::focusWidget(), eind);
}

// Sends a drag and a drop onto the drop zone; returns whether the drag was accepted.
bool dragAndDrop(QWidget* zone, QMimeData* data) {
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                          Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(zone, &enter);
    const bool accepted = enter.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                    Qt::NoModifier);
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
    // clang-format off
    const std::vector<Row> rows = {
        {"two files", {board, QUrl::fromLocalFile(q(dir.file("OTHER.P01")))}, false,
         DropOutcome::SeveralFiles, "Sorry, 1 tegelijk!"},
        {"a folder", {QUrl::fromLocalFile(q(dir.path()))}, false, DropOutcome::Directory,
         "Sorry alleen files, geen directories"},
        {"a file offered as rich text too", {board}, true, DropOutcome::RichText,
         "Sorry alleen Zarn1 *.ps files"},
    };
    // clang-format on
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
    const std::vector<std::string> ini{"COUNTRY = 44"};
    auto w = open(&ini);
    QTest::mouseClick(find<QAbstractButton>(*w, "cmdJezusmina"), Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Error !");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(platform.messages[0].text,
              "Something is wrong!   \rHelp file ZARN1UK.HLP not found  \r");
    EXPECT_TRUE(w->helpViewer() == nullptr || !w->helpViewer()->isVisible());
}

TEST(ShippedHelp, BothFilesOpenAndExplainEverySettingsKey) {
    for (const char* name : {"ZARN1NL.HLP", "ZARN1UK.HLP"}) {
        SCOPED_TRACE(name);
        HelpViewer viewer;
        ASSERT_TRUE(viewer.showFile(QStringLiteral(ZARN_HELP_DIR "/") + QLatin1String(name)));
        const QString text = viewer.browser()->toPlainText();
        for (const char* key :
             {"COUNTRY", "MARGINLENGTH", "MARGINWIDTH", "PAGEMODE", "FORCEA4", "POPUPTXT", "GREEN1",
              "RED1", "GREEN2", "RED2", "BLUE", "MAGENTA", "YELLOW", "CYAN", "ROTATE", "CROP", "OK",
              "ZARN1_PS.INI", "_log.TXT"})
            EXPECT_TRUE(text.contains(QLatin1String(key))) << key;
        viewer.close();
    }
}

TEST(QtPlatformText, CarriageReturnsBecomeLineBreaks) {
    EXPECT_EQ(messageText("Er is iets mis!   \rHelp bestand\r"),
              "Er is iets mis!   \nHelp bestand");
    EXPECT_EQ(messageText("one\r\ntwo"), "one\ntwo");
}

}  // namespace
}  // namespace zarn::ui
