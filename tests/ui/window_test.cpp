// The real window, headless: that its widgets are wired to the option model, the caption table,
// the drop zone and the help button. What the handlers and key filters decide is tested on the
// window-less model.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "test_support.h"
#include "zarn/colour_boxes.h"
#include "zarn/ui/captions.h"
#include "zarn/ui/conversion_hold.h"
#include "zarn/ui/help_viewer.h"
#include "zarn/ui/main_window.h"

namespace zarn::ui {
namespace {

// The caption of a control as set, whatever wrapping the control shows.
QString captionOf(QWidget* w) {
    if (w->isWindow()) return w->windowTitle();
    if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
    return w->property("caption").toString();
}

// What a control shows of its caption: its lines trimmed, blank lines run together, joined
// by "|".
std::string shownLines(QWidget* w) {
    auto* l = qobject_cast<QLabel*>(w);
    const QString text = l ? l->text() : qobject_cast<QAbstractButton*>(w)->text();
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() || lines.isEmpty() || !lines.back().isEmpty())
            lines << line.trimmed();
    return lines.join(QLatin1Char('|')).toStdString();
}

// Every control's state and what the handlers keep of it, one word each.
std::string stateOf(const OptionControls& c, const JobSettings& s) {
    std::string state;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Ctl k = static_cast<Ctl>(i);
        state += c.isEnabled(k) ? "E" : "-";  // appended: g++ 12 warns falsely on "E" + string
        state += k >= Ctl::Text_eind ? c.text(k) : std::to_string(c.isTicked(k));
        state += " ";
    }
    for (int v : {s.pageregel, s.optsel, s.Force_A4, s.Force_A3, s.kantel, s.Force_crop,
                  s.LogAfdruk, s.breedte})
        state += std::to_string(v) + " ";
    return state;
}

class WindowTest : public ::testing::Test {
protected:
    // A fresh window, shown, drawn and active; `ini` is the settings file's content, none when
    // null.
    void open(const char* ini = nullptr, const char* helpDir = "",
              std::vector<std::string> startFiles = {}) {
        w.reset();
        std::remove(dir.file(kSettingsFileName).c_str());
        if (ini) testing::writeFile(dir.file(kSettingsFileName), ini);
        MainWindowOptions options;
        options.settingsPath = dir.file(kSettingsFileName);
        options.helpDir =
            *helpDir ? QString::fromUtf8(helpDir) : QString::fromStdString(dir.path());
        options.platform = &platform;
        options.startFiles = std::move(startFiles);
        w = std::make_unique<MainWindow>(options);
        w->show();
        QApplication::setActiveWindow(w.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QCoreApplication::processEvents();  // what the window does once drawn
    }
    template <class T = QWidget>
    T* find(const char* name) {
        T* child = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // The messages shown so far, one line each: title, icon, text.
    std::string messages() const {
        std::string all;
        for (const auto& m : platform.messages)
            all +=
                m.title + (m.icon == MessageIcon::Stop ? " (stop) " : " (info) ") + m.text + "\n";
        return all;
    }
    // A click on the box or button itself, not on its caption.
    void click(const char* name) {
        auto* b = find<QAbstractButton>(name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }

    testing::ScratchDir dir;
    testing::RecordingPlatform platform;
    std::unique_ptr<MainWindow> w;
};

// A press and a release at `at` on `target`, queued to its window as the desktop queues them.
void postClick(QWidget* target, QPointF at) {
    QWidget* window = target->window();
    at = target->mapTo(window, at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            window->windowHandle(),
            new QMouseEvent(type, at, window->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {}));
}

// The settings file and a list of clicks leave every widget as they leave the model.
TEST_F(WindowTest, WidgetsMirrorTheModel) {
    open("WRONG = 1\r\nFORCEA4 = 1\r\nMARGINWIDTH = 7\r\nCYAN = 1\r\n");
    EXPECT_EQ(messages(),
              "Fout ! (stop) Is de INI file wel OK?  \rEr zit een foutje in !! \rWRONG = 1\n");
    JobSettings s;
    HeadlessWindow model(s);
    applyStartValues(model.controls(), s);
    readSettingsFile(dir.file(kSettingsFileName), model.controls(), s, {});
    const std::pair<const char*, Ctl> clicks[] = {
        {"chkRotate", Ctl::chkRotate},       {"chkCrop", Ctl::chkCrop},
        {"chkForceA4_1", Ctl::chkForceA3},   {"chkBlue", colourBoxControl(2)},
        {"chkLogafdruk", Ctl::chkLogafdruk}, {"optAfdruk_1", Ctl::optPrint},
        {"optAfdruk_0", Ctl::optEps},        {"chkForceA4_0", Ctl::chkForceA4},
        {"optAfdruk_1", Ctl::optPrint},      {"chkCrop", Ctl::chkCrop}};
    for (const auto& [name, c] : clicks) {
        EXPECT_EQ(stateOf(w->controls(), w->settings()), stateOf(model.controls(), s)) << name;
        click(name);
        if (c == Ctl::optEps || c == Ctl::optPrint)
            model.controls().setSelected(c, true);
        else if (model.controls().isEnabled(c))
            model.controls().setTicked(c, !model.controls().isTicked(c));
    }
    EXPECT_EQ(stateOf(w->controls(), w->settings()), stateOf(model.controls(), s));
}

// Typed and pasted text goes through the key filters; a field holds no more than its length.
TEST_F(WindowTest, FieldsFilterWhatIsTypedOrPasted) {
    open();
    click("chkForceA4_0");
    const std::array<const char*, 4> rows[] = {{"Text_eind", "q1", "\r\nx2", "12"},
                                               {"Text_breed", "987", "", "98"},
                                               {"Text_crop", "a-0.9", ",5e", "0.95"}};
    for (const auto& [name, typed, pasted, kept] : rows) {
        auto* field = find<QLineEdit>(name);
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, typed);
        QGuiApplication::clipboard()->setText(QLatin1String(pasted));
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(field->text().toStdString(), kept) << name;
    }
    QTest::keyClick(find("Text_crop"), Qt::Key_Return);  // Enter moves on, as the model says
    EXPECT_EQ(QApplication::focusWidget(), find("Text_eind"));
}

// A drag and a drop on the drop zone, the user asking for a move; returns the action the
// source is told to take, on entry and at the drop alike (IgnoreAction: refused).
Qt::DropAction dragAndDrop(QWidget* zone, QMimeData* data,
                           Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(zone, &enter);
    QDropEvent drop(QPointF(at), offered, data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(zone, &drop);
    QCoreApplication::processEvents();
    const auto taken = [](const QDropEvent& e) {
        return e.isAccepted() ? e.dropAction() : Qt::IgnoreAction;
    };
    EXPECT_EQ(taken(enter), taken(drop));
    return taken(drop);
}

// What the desktop drops, or the command line names, reaches the engine as one drop: names
// byte for byte, with the window's values of that moment; a job for a print queue leaves
// through the window's platform, past what holds the window while it converts.
TEST_F(WindowTest, DropsReachTheConversion) {
    const std::string latin1 = dir.file("caf\xe9.P01");
    testing::writeFile(dir.file("BOARD.P01"), testing::Board().bytes());
    testing::writeFile(latin1, testing::Board().bytes());
    const QByteArray folder = QByteArray::fromStdString(dir.path());
    const QByteArray board = "file://" + folder + "/BOARD.P01\r\n";
    // The URI list dragged or the FILEs of the command line, the rich text dragged, and the
    // engine's answer; none: nothing reaches it.
    // clang-format off
    const std::tuple<QByteArray, std::vector<std::string>, const char*, std::optional<DropOutcome>> rows[] = {
        {board + board, {}, nullptr, DropOutcome::SeveralFiles},
        {board, {}, "{\\rtf1 board}", DropOutcome::RichText},
        {{}, {}, nullptr, std::nullopt},  // dragged words only, and no FILE
        {"https://example.org/BOARD.P01\r\nfile://elsewhere" + folder + "/BOARD.P01\r\n", {}, nullptr, std::nullopt},
        {"file://localhost" + folder + "/caf%E9.P01\r\n", {}, nullptr, DropOutcome::Completed},
        {board, {}, nullptr, DropOutcome::Completed},
        {{}, {latin1, latin1}, nullptr, DropOutcome::SeveralFiles},
        {{}, {latin1}, nullptr, DropOutcome::Completed},
    };
    // clang-format on
    for (const auto& [uriList, files, richText, outcome] : rows) {
        SCOPED_TRACE(uriList.toStdString() + std::to_string(files.size()));
        open("MARGINLENGTH = 5\r\nBLUE = 1\r\nQUEUE = typesetter\r\n", "", files);
        QMimeData data;
        data.setText(QStringLiteral("BOARD.P01"));
        if (!uriList.isEmpty()) data.setData(QStringLiteral("text/uri-list"), uriList);
        if (richText) data.setData(QStringLiteral("text/rtf"), richText);
        if (files.empty()) {
            EXPECT_EQ(dragAndDrop(find("Label3"), &data),
                      outcome ? Qt::CopyAction : Qt::IgnoreAction);
        }
        EXPECT_EQ(w->lastDrop() ? std::optional(w->lastDrop()->outcome) : std::nullopt, outcome);
        EXPECT_EQ(w->settings().Text_eind, outcome ? "5" : "10");
        EXPECT_EQ(w->settings().colourTicked[2], outcome.has_value());
        EXPECT_EQ(w->lastDrop() ? w->lastDrop()->print_job : 0,
                  outcome == DropOutcome::Completed ? platform.printAnswer.job : 0);
    }
    ASSERT_EQ(platform.sent.size(), 3u) << messages();
    EXPECT_EQ(platform.sent[0].first.queue, "typesetter");
    EXPECT_TRUE(testing::fileExists(dir.file("caf\xe9_E01.ps")));
    open();  // a source offering only a move would delete the input once the drop is taken
    QMimeData moved;
    moved.setData(QStringLiteral("text/uri-list"), board);
    EXPECT_EQ(dragAndDrop(find("Label3"), &moved, Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_FALSE(w->lastDrop());
    EXPECT_EQ(platform.ended, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// While a conversion holds the window, what the user does to it is discarded, not applied
// once the conversion returns, a request to close it included; after the delay its progress
// shows over the drop zone.
TEST_F(WindowTest, AConversionShowsProgressAndDiscardsInput) {
    open();
    auto* box = find<QAbstractButton>("chkBlue");
    auto* field = find<QLineEdit>("Text_breed");
    field->setFocus();
    field->clear();
    // A key for the field, a click on the box and a close, queued as the desktop queues them.
    auto queueInput = [&] {
        QCoreApplication::postEvent(w->windowHandle(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_7, {}, "7"));
        postClick(box, QPointF(6, box->height() / 2));
        QCoreApplication::postEvent(w->windowHandle(), new QCloseEvent);
    };
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 "file://" + QByteArray::fromStdString(dir.path()) + "/BOARD.P01\r\n");
    {
        ConversionHold hold(*w, *find("Label3"), platform, false, std::chrono::milliseconds(50));
        hold.progress(0);
        queueInput();
        EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("progress")), nullptr);
        QTest::qSleep(60);
        hold.progress(37);
        auto* shown = w->findChild<QLabel*>(QStringLiteral("progress"));
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->text(), "37 %");
        EXPECT_TRUE(hold.working(ChildTask::Check, 0));  // a close in the passes ends nothing
        EXPECT_EQ(dragAndDrop(find("Label3"), &data), Qt::IgnoreAction);
        queueInput();  // still queued when the conversion returns
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(platform.percents, (std::vector<int>{0, 37}));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("progress")), nullptr);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(field->text(), "");
    EXPECT_FALSE(w->lastDrop());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(w->isVisible());
    queueInput();  // the same input once the conversion has returned
    QCoreApplication::processEvents();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(field->text(), "7");
    EXPECT_FALSE(w->isVisible());
}

// A message box or the help viewer shown while a conversion holds the window still takes the
// user's input: the box can be answered, the viewer closed.
TEST_F(WindowTest, AConversionLeavesOtherWindowsToTheUser) {
    testing::writeFile(dir.file("ZARN1NL.HLP"), "<p>hulp</p>");
    open();
    ConversionHold hold(*w, *find("Label3"), platform, false);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Fout !"), QStringLiteral("?"),
                    QMessageBox::Ok, w.get());
    box.show();
    w->cmdJezusmina_Click();
    ASSERT_TRUE(w->helpViewer() && QTest::qWaitForWindowExposed(&box));
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    postClick(ok, QPointF(ok->rect().center()));
    QCoreApplication::postEvent(w->helpViewer()->windowHandle(), new QCloseEvent);
    QCoreApplication::processEvents();
    EXPECT_EQ(box.clickedButton(), ok);
    EXPECT_FALSE(w->helpViewer()->isVisible());
}

// While Ghostscript checks the output, the window paints what it does; closing the window
// then ends Ghostscript and the program at once, without a message.
TEST_F(WindowTest, ACheckKeepsTheWindowPaintedAndAClosedWindowEndsIt) {
    const std::string bin = dir.file("bin");
    std::filesystem::create_directory(bin);
    testing::writeFile(bin + "/gs", "#!/bin/sh\nexec sleep 30\n");
    std::filesystem::permissions(bin + "/gs", std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin + ":" + path).c_str(), 1);
    testing::writeFile(dir.file("BOARD.P01"), testing::Board().bytes());
    open("VERIFY = 1\r\nCOUNTRY = 44\r\n");
    QString shown;
    int paints = 0;
    struct PaintCount : QObject {
        int& count;
        explicit PaintCount(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            count += e->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    // Fired from the event loop that the check keeps turning.
    QTimer::singleShot(kProgressDelay + std::chrono::milliseconds(400), [&] {
        if (auto* label = w->findChild<QLabel*>(QStringLiteral("progress"))) {
            shown = label->text();
            label->installEventFilter(&counter);
            label->update();
        }
        QTimer::singleShot(
            200, [&] { QCoreApplication::postEvent(w->windowHandle(), new QCloseEvent); });
    });
    const auto start = std::chrono::steady_clock::now();
    w->Label3_OLEDragDrop({{dir.file("BOARD.P01")}, false});
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(shown, "Checking 0 %");
    EXPECT_GT(paints, 0);
    ASSERT_TRUE(w->lastDrop());
    EXPECT_EQ(w->lastDrop()->outcome, DropOutcome::ErrorExit);
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(platform.ended, 1);
}

// A wrapping caption breaks at its line breaks and its runs of spaces (the built-in ones'
// showing as blank lines), inside a line of its own only when it must, and never runs past
// its control.
TEST_F(WindowTest, CaptionsBreakWhereTheirSpacesSay) {
    // The settings file, a control, and the lines it shows.
    // clang-format off
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {nullptr, "Label3", "|Input    =    *.P*|ZARN1 postscript file||Output = *_E*.ps /.eps|postscript of  EPS  file"},
        {nullptr, "Label10", "NO Pagebounding|NO Statusdict|NO Showpage"},
        {nullptr, "Label11", "Plus Pagebounding|en Statusdict"},
        {nullptr, "optAfdruk_0", "EPS Mode|voor 2e file"},
        {"", "Label3", "|Input  =  *.P*|ZARN1 postscript file||Output = *_E*.ps /.eps|postscript  of  EPS file"},
        {"COUNTRY = 44\r\n", "Label3", "|Input    =    *.P*|ZARN1 postscript file||Output = *_E*.ps /.eps|postscript  or  EPS file"}};
    // clang-format on
    for (const auto& [ini, name, lines] : rows) {
        open(ini);
        QWidget* control = find(name);
        EXPECT_EQ(shownLines(control), lines) << name;
        auto* l = qobject_cast<QLabel*>(control);
        for (const QString& line : l ? l->text().split(QLatin1Char('\n')) : QStringList())
            EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(line), l->width()) << name;
    }
}

// The language chosen at load reaches every caption of the table and the help button, which
// shows the shipped help (explaining every settings key) or says that it is missing.
TEST_F(WindowTest, LanguageReachesCaptionsAndHelp) {
    std::vector<std::string_view> keys{
        "COUNTRY", "MARGINLENGTH", "MARGINWIDTH", "PAGEMODE",     "FORCEA4", "POPUPTXT",
        "ROTATE",  "CROP",         "OK",          "INKBOX",       "VERIFY",  "PDF",
        "PREVIEW", "DSC",          "QUEUE",       "ZARN1_PS.INI", "_log.TXT"};
    for (const ColourBox& box : kColourBoxes) keys.push_back(box.settingsKey);
    testing::writeFile(dir.file("ZARN1NL.HLP"), "<p>alleen Nederlands</p>");
    // The settings file, the captions it leads to, where the help is and what the button shows.
    // clang-format off
    const std::tuple<const char*, CaptionSet, const char*, const char*, const char*> rows[] = {
        {nullptr, CaptionSet::BuiltIn, ZARN_HELP_DIR, "ZARN1 PS repair - Hulp", ""},
        {"%% no key\r\n", CaptionSet::NL, ZARN_HELP_DIR, "ZARN1 PS repair - Hulp", ""},
        {"COUNTRY = 44\r\n", CaptionSet::UK, ZARN_HELP_DIR, "ZARN1 PS repair - Help", ""},
        {"COUNTRY = 44\r\n", CaptionSet::UK, "", "", "Error ! (stop) Something is wrong!   \rHelp file ZARN1UK.HLP not found  \r\n"}};
    // clang-format on
    for (const auto& [ini, set, helpDir, title, message] : rows) {
        open(ini, helpDir);
        for (const Caption& caption : captions(set)) {
            QWidget* target =
                caption.control == "ZARN1_PS_REPAIR" ? w.get() : find(caption.control.c_str());
            EXPECT_EQ(captionOf(target), QString::fromStdString(caption.text)
                                             .replace(QLatin1String("\r\n"), QLatin1String("\n")))
                << caption.control;
        }
        QTest::mouseClick(find<QAbstractButton>("cmdJezusmina"), Qt::LeftButton);
        HelpViewer* viewer = w->helpViewer();
        const bool shown = viewer && viewer->isVisible();
        EXPECT_EQ(shown ? viewer->windowTitle() : "", title);
        EXPECT_EQ(messages(), message);
        for (const std::string_view key : keys)
            EXPECT_EQ(shown && viewer->browser()->toPlainText().contains(QLatin1String(key)), shown)
                << key;
        // However narrow the viewer, no line of the help breaks inside "%%".
        QTextDocument* help = shown ? viewer->browser()->document() : nullptr;
        for (int width = 200; help && width <= 800; width += 10) {
            help->setTextWidth(width);
            for (QTextBlock b = help->begin(); b.isValid(); b = b.next())
                for (int i = 0; i + 1 < b.layout()->lineCount(); ++i) {
                    const QTextLine line = b.layout()->lineAt(i);
                    EXPECT_NE(b.text().mid(line.textStart() + line.textLength() - 1, 2), "%%");
                }
        }
        if (viewer) viewer->close();
    }
}

}  // namespace
}  // namespace zarn::ui
