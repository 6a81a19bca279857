#include "zarn/ui/main_window.h"

#include "caption_fitting.h"
#include "control_layout.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "zarn/path_helpers.h"
#include "zarn/texts.h"
#include "zarn/ui/conversion_hold.h"
#include "zarn/ui/drop_label.h"
#include "zarn/ui/help_viewer.h"
#include "zarn/ui/qt_platform.h"

namespace zarn::ui {

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
    face.setFamilies({QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow"),
                      face.family()});
    face.setStretch(QFont::SemiCondensed);
    face.setPointSizeF(8.0);
    setFont(face);
    setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    const BuiltControls built = buildControls(*this, controls_, handlers_);
    dropZone_ = built.dropZone;
    // Queued, so that the desktop's drag ends before the conversion and its messages run.
    connect(
        dropZone_, &DropLabel::filesDropped, this,
        [this](const QByteArrayList& paths, bool richText) {
            DroppedData data;
            for (const QByteArray& p : paths) data.paths.push_back(p.toStdString());
            data.offersRichText = richText;
            Label3_OLEDragDrop(data);
        },
        Qt::QueuedConnection);
    connect(built.help, &QPushButton::clicked, this, &MainWindow::cmdJezusmina_Click);
    applyCaptions(*this, CaptionSet::BuiltIn);
    controls_.connectHandlers(handlers_);
    load();
}

MainWindow::~MainWindow() = default;

void MainWindow::load() {
    applyStartValues(controls_, settings_);
    // The settings file's messages wait until the window is on the screen, so that each box
    // stands over it.
    settingsFound_ =
        readSettingsFile(options_.settingsPath, controls_, settings_,
                         [this](const SettingsMessage& m) { loadMessages_.push_back(m); });
    if (settingsFound_) applyCaptions(*this, settings_.english() ? CaptionSet::UK : CaptionSet::NL);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // Drawn once, the window stands where the window manager put it: a message box then
    // stands over it, and a conversion that holds the window leaves it drawn.
    if (!std::exchange(drawn_, true)) QTimer::singleShot(0, this, &MainWindow::afterFirstDrawing);
}

void MainWindow::afterFirstDrawing() {
    for (const SettingsMessage& m : std::exchange(loadMessages_, {}))
        platform_->showMessage(m.title, MessageIcon::Stop, m.text);
    if (!options_.startFiles.empty())
        Label3_OLEDragDrop(DroppedData{std::exchange(options_.startFiles, {}), false});
}

void MainWindow::Label3_OLEDragDrop(const DroppedData& data) {
    if (converting_) return;
    converting_ = true;
    captureWindowValues(controls_, settings_);
    {
        ConversionHold hold(*this, *dropZone_, *platform_, settings_.english());
        lastDrop_ = convertDrop(data, settings_, hold);
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
