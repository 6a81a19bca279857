// The main window ZARN1_PS_REPAIR: the option controls, the drop zone and the help button.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zarn/conversion.h"
#include "zarn/job_settings.h"
#include "zarn/option_controls.h"
#include "zarn/settings_file.h"
#include "zarn/ui/captions.h"
#include "zarn/ui/qt_controls.h"

class QLabel;

namespace zarn::ui {

class DropLabel;
class HelpViewer;

struct MainWindowOptions {
    // Read at load when it exists; relative to the current directory. By default the current
    // directory's, else the user's own.
    std::string settingsPath = settingsFileToRead().value_or(kSettingsFileName);
    // Where the help files are looked for; empty means the program's own directory.
    QString helpDir;
    // Messages, the text viewer and the program end; null means the Qt desktop.
    Platform* platform = nullptr;
    // Dropped on the window as one drop once it is drawn, after the settings file's messages:
    // the FILEs of the command line.
    std::vector<std::string> startFiles;
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    JobSettings& settings() { return settings_; }
    OptionControls& controls() { return controls_; }
    OptionHandlers& handlers() { return handlers_; }
    bool settingsFileFound() const { return settingsFound_; }
    // The outcome of the last conversion, if any ran.
    const std::optional<DropResult>& lastDrop() const { return lastDrop_; }
    HelpViewer* helpViewer() const { return helpViewer_; }

    // The drop on the drop zone: one conversion with the current options.
    void Label3_OLEDragDrop(const DroppedData& data);
    void cmdJezusmina_Click();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void load();
    void afterFirstDrawing();

    MainWindowOptions options_;
    std::unique_ptr<Platform> ownPlatform_;
    Platform* platform_;
    JobSettings settings_;
    QtControls controls_;
    OptionHandlers handlers_;
    DropLabel* dropZone_ = nullptr;
    HelpViewer* helpViewer_ = nullptr;
    bool settingsFound_ = false;
    std::vector<SettingsMessage> loadMessages_;
    bool drawn_ = false;
    bool converting_ = false;
    std::optional<DropResult> lastDrop_;
};

}  // namespace zarn::ui
