#include "zarn/ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>
#include <utility>
#include <vector>

#include "zarn/path_helpers.h"
#include "zarn/texts.h"
#include "zarn/ui/drop_label.h"
#include "zarn/ui/field_edit.h"
#include "zarn/ui/help_viewer.h"
#include "zarn/ui/qt_platform.h"

namespace zarn::ui {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 5670;
constexpr int kClientHeight = 6270;

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

QString captionText(const std::string& text) {
    QString out = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return out;
}

// Breaks a caption at its runs of spaces where it would run past `width` pixels, as a
// word-wrapping control would show it. Explicit line breaks stay.
QString wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString current;
        int i = 0;
        while (i < line.size()) {
            int j = i;
            while (j < line.size() && line[j] == QLatin1Char(' ')) ++j;  // the gap
            int k = j;
            while (k < line.size() && line[k] != QLatin1Char(' ')) ++k;  // the word
            const QString candidate = current + line.mid(i, k - i);
            if (!current.trimmed().isEmpty() && metrics.horizontalAdvance(candidate) > width) {
                out << current;
                current = line.mid(j, k - j);
            } else {
                current = candidate;
            }
            i = k;
        }
        out << current;
    }
    return out.join(QLatin1Char('\n'));
}

// Restores the normal cursor however the conversion ends.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)), handlers_(controls_, settings_) {
    if (options_.platform) {
        platform_ = options_.platform;
    } else {
        ownPlatform_ = std::make_unique<QtPlatform>(this);
        platform_ = ownPlatform_.get();
    }
    setObjectName(QStringLiteral("ZARN1_PS_REPAIR"));
    // The layout is fixed in twips, made for a small face; a narrow one fits best.
    QFont face = font();
    face.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("Arial Narrow"), face.family()});
    face.setStretch(QFont::SemiCondensed);
    face.setPointSizeF(8.0);
    setFont(face);
    setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    buildControls();
    applyCaptions(CaptionSet::BuiltIn);
    controls_.connectHandlers(handlers_);
    applyTabOrder();
    load();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    auto place = [](QWidget* w, const char* name, QRect rect, int tab) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(rect);
        w->setProperty("TabIndex", tab);
    };
    auto label = [](QWidget* parent, bool wrap) {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(wrap);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    auto check = [this](QWidget* parent, Ctl c) {
        auto* b = new QCheckBox(parent);
        controls_.add(c, b);
        return b;
    };
    auto field = [this](QWidget* parent, Ctl c, int maxLength) {
        auto* f = new FieldEdit(parent);
        f->setMaxLength(maxLength);
        f->setKeyFilter([this, c](int& key) { handlers_.keyPress(c, key); });
        controls_.add(c, f);
        return f;
    };

    QFont bold = font();
    bold.setBold(true);

    auto* label2 = label(this, false);
    label2->setFont(bold);
    label2->setProperty("bold", true);
    place(label2, "Label2", twips(120, 120, 5535, 255), 6);

    auto* frame1 = new QGroupBox(this);
    place(frame1, "Frame1", twips(120, 480, 1935, 2895), 7);
    dropZone_ = new DropLabel(frame1);
    dropZone_->setTextFormat(Qt::PlainText);
    place(dropZone_, "Label3", twips(120, 240, 1695, 2535), 8);
    // Queued, so that the desktop's drag ends before the conversion and its messages run.
    connect(dropZone_, &DropLabel::filesDropped, this, &MainWindow::Label3_OLEDragDrop,
            Qt::QueuedConnection);

    auto* frame2 = new QGroupBox(this);
    place(frame2, "Frame2", twips(2160, 480, 3375, 2895), 9);
    auto* eps = new ModeButton(frame2);
    controls_.add(Ctl::optEps, eps);
    eps->setProperty("Index", 0);
    place(eps, "optAfdruk_0", twips(240, 360, 1215, 375), 14);
    auto* a4 = check(frame2, Ctl::chkForceA4);
    a4->setProperty("Index", 0);
    place(a4, "chkForceA4_0", twips(1920, 600, 1335, 255), 12);
    auto* a3 = check(frame2, Ctl::chkForceA3);
    a3->setProperty("Index", 1);
    place(a3, "chkForceA4_1", twips(1920, 840, 1335, 255), 22);
    place(label(frame2, true), "Label10", twips(120, 960, 1455, 615), 10);
    place(label(frame2, true), "Label11", twips(1800, 1200, 1455, 375), 11);
    place(label(frame2, false), "Label4", twips(120, 1800, 2535, 255), 25);
    place(field(frame2, Ctl::Text_eind, 2), "Text_eind", twips(2760, 1800, 375, 285), 23);
    place(label(frame2, false), "Label5", twips(120, 2160, 2415, 255), 26);
    place(field(frame2, Ctl::Text_breed, 2), "Text_breed", twips(2760, 2160, 375, 285), 24);
    place(check(frame2, Ctl::chkCrop), "chkCrop", twips(240, 2520, 2295, 255), 28);
    auto* crop = field(frame2, Ctl::Text_crop, 4);
    crop->setText(QStringLiteral("1.00"));
    place(crop, "Text_crop", twips(2640, 2520, 495, 285), 27);
    auto* line2 = new QFrame(frame2);
    line2->setObjectName(QStringLiteral("Line2"));
    line2->setFrameShape(QFrame::VLine);
    line2->setFrameShadow(QFrame::Sunken);
    line2->setGeometry(1680 / kTwipsPerPixel - 1, 120 / kTwipsPerPixel, 2, (1680 - 120) / kTwipsPerPixel);
    auto* line3 = new QFrame(frame2);
    line3->setObjectName(QStringLiteral("Line3"));
    line3->setFrameShape(QFrame::HLine);
    line3->setFrameShadow(QFrame::Sunken);
    line3->setGeometry(0, 1680 / kTwipsPerPixel - 1, 3360 / kTwipsPerPixel, 2);

    // The print-mode button belongs to the window and is drawn over the mode frame.
    auto* print = new ModeButton(this);
    controls_.add(Ctl::optPrint, print);
    print->setProperty("Index", 1);
    place(print, "optAfdruk_1", twips(4080, 720, 1215, 255), 15);
    print->raise();

    auto* line1 = new QFrame(this);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::HLine);
    line1->setFrameShadow(QFrame::Sunken);
    line1->setGeometry(0, 3840 / kTwipsPerPixel - 1, 5640 / kTwipsPerPixel, 2);

    place(check(this, Ctl::chkLogafdruk), "chkLogafdruk", twips(360, 3480, 2655, 255), 13);
    place(check(this, Ctl::chkRotate), "chkRotate", twips(3120, 3480, 1455, 255), 16);
    auto* help = new QPushButton(this);
    help->setFont(bold);
    help->setProperty("bold", true);
    place(help, "cmdJezusmina", twips(4920, 3480, 375, 255), 21);
    connect(help, &QPushButton::clicked, this, &MainWindow::cmdJezusmina_Click);

    auto* gray = new QGroupBox(this);
    place(gray, "GRAY_2_COLOR", twips(120, 3960, 5415, 2175), 0);
    place(label(gray, false), "Label1", twips(120, 360, 5175, 255), 5);
    place(check(gray, colourBoxControl(0)), "chkGreen", twips(240, 720, 2175, 255), 1);
    place(check(gray, colourBoxControl(1)), "chkRed", twips(240, 1080, 2055, 255), 2);
    place(check(gray, colourBoxControl(2)), "chkBlue", twips(240, 1440, 2295, 255), 3);
    place(check(gray, colourBoxControl(3)), "chkMagenta", twips(240, 1800, 2175, 255), 4);
    place(check(gray, colourBoxControl(4)), "chkYellow", twips(3000, 720, 2175, 255), 17);
    place(check(gray, colourBoxControl(5)), "chkGroen", twips(3000, 1080, 2295, 255), 19);
    place(check(gray, colourBoxControl(6)), "chkRood", twips(3000, 1440, 1935, 255), 18);
    place(check(gray, colourBoxControl(7)), "chkCyan", twips(3000, 1800, 2055, 255), 20);
}

void MainWindow::applyTabOrder() {
    std::vector<std::pair<int, QWidget*>> order;
    for (QWidget* w : findChildren<QWidget*>()) {
        const QVariant tab = w->property("TabIndex");
        if (tab.isValid() && w->focusPolicy() & Qt::TabFocus) order.emplace_back(tab.toInt(), w);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    if (!order.empty()) order.front().second->setFocus(Qt::OtherFocusReason);
}

void MainWindow::load() {
    applyStartValues(controls_, settings_);
    settingsFound_ = readSettingsFile(options_.settingsPath, controls_, settings_,
                                      [this](const SettingsMessage& m) {
                                          platform_->showMessage(m.title, MessageIcon::Stop, m.text);
                                      });
    if (settingsFound_) applyCaptions(settings_.english() ? CaptionSet::UK : CaptionSet::NL);
}

void MainWindow::applyCaptions(CaptionSet set) {
    for (const Caption& caption : captions(set)) {
        const QString text = captionText(caption.text);
        if (caption.control == "ZARN1_PS_REPAIR") {
            setWindowTitle(text);
            continue;
        }
        QWidget* w = findChild<QWidget*>(QString::fromStdString(caption.control));
        if (auto* box = qobject_cast<QGroupBox*>(w)) {
            box->setTitle(text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // The exact caption stays readable; the button shows it wrapped to its width.
            button->setProperty("caption", text);
            button->setText(text);
            fitCaption(button);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(text);
            fitCaption(l);
        }
    }
    // Controls that stand together share one size, the one that fits them all.
    const std::vector<std::vector<const char*>> groups{
        {"chkGreen", "chkRed", "chkBlue", "chkMagenta", "chkYellow", "chkGroen", "chkRood", "chkCyan"},
        {"Label4", "Label5"},
        {"chkForceA4_0", "chkForceA4_1"}};
    for (const auto& group : groups) {
        qreal smallest = font().pointSizeF();
        for (const char* name : group)
            if (auto* w = findChild<QWidget*>(QLatin1String(name)))
                smallest = std::min(smallest, w->font().pointSizeF());
        for (const char* name : group)
            if (auto* w = findChild<QWidget*>(QLatin1String(name))) fitCaption(w, smallest);
    }
}

void MainWindow::fitCaption(QWidget* w, qreal maxPointSize) {
    QFont f = font();
    f.setBold(w->property("bold").toBool());
    if (maxPointSize > 0 && maxPointSize < f.pointSizeF()) f.setPointSizeF(maxPointSize);
    auto* l = qobject_cast<QLabel*>(w);
    auto* b = qobject_cast<QAbstractButton*>(w);
    const bool check = qobject_cast<QCheckBox*>(w) != nullptr;
    const bool indicator = check || qobject_cast<QRadioButton*>(w) != nullptr;
    int textWidth = w->width();
    if (indicator) {
        textWidth -= style()->pixelMetric(check ? QStyle::PM_IndicatorWidth
                                                : QStyle::PM_ExclusiveIndicatorWidth,
                                          nullptr, w) +
                     style()->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing
                                                : QStyle::PM_RadioButtonLabelSpacing,
                                          nullptr, w) +
                     2;
    }
    for (;;) {
        w->setFont(f);
        const QFontMetrics metrics(f);
        bool fits = true;
        if (indicator) {
            // A check box or mode button wraps its caption where it has room for the lines.
            const QString text = wrapped(b->property("caption").toString(), metrics, textWidth);
            b->setText(text);
            const QRect need = metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, text);
            fits = need.width() <= textWidth && need.height() <= w->height() + 2;
        } else if (l && l->wordWrap()) {
            fits = l->heightForWidth(l->width()) <= l->height();
        } else {
            fits = w->sizeHint().width() <= w->width();
        }
        if (fits || f.pointSizeF() <= 6.0) break;
        f.setPointSizeF(f.pointSizeF() - 0.5);
    }
}

void MainWindow::Label3_OLEDragDrop(const QStringList& paths, bool richText) {
    if (converting_) return;
    converting_ = true;
    captureWindowValues(controls_, settings_);
    DroppedData data;
    for (const QString& p : paths) data.paths.push_back(QFile::encodeName(p).toStdString());
    data.offersRichText = richText;
    {
        BusyCursor busy;
        lastDrop_ = ::zarn::convertDrop(data, settings_, *platform_);
    }
    converting_ = false;
}

void MainWindow::cmdJezusmina_Click() {
    const bool english = settings_.english();
    const char* name = texts::kHelpFile.in(english);
    try {
        const QString dir =
            options_.helpDir.isEmpty() ? QCoreApplication::applicationDirPath() : options_.helpDir;
        const QString path = dir + QLatin1Char('/') + QLatin1String(name);
        if (FileExists(QFile::encodeName(path).toStdString())) {
            if (!helpViewer_) helpViewer_ = new HelpViewer(this);
            helpViewer_->setWindowFlag(Qt::Window, true);
            if (helpViewer_->showFile(path)) return;
        }
    } catch (const std::exception&) {
        // Falls through to the not-found message.
    }
    platform_->showMessage(texts::kErrorTitle.in(english), MessageIcon::Stop,
                           texts::kHelpNotFound.in(english));
}

}  // namespace zarn::ui
