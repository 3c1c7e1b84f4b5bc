#pragma once
#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "persistence/Config.h"
#include "view/ConfigRules.h"

class MainWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

// The configuration dialog (TcfgForm): every setting the user may change, on seven pages.
// The controls hold the edits; only "Ok" copies them into the window's settings, applies
// them to the window and the model and saves the file. User-interface thread only.
class ConfigDialog : public QDialog
{
    Q_OBJECT

public:
    enum Page { DecodePage, ScannerControlPage, ScreenPage, DataOptionsPage, BackupPage, WebServicePage, EventsPage };

    explicit ConfigDialog(MainWindow& window);
    // The window's one dialog, created at its first use.
    static ConfigDialog& Of(MainWindow& window);

    // Fills every control from the current settings and turns to page; Open then runs the
    // dialog modally.
    void Prepare(Page page);
    void Open(Page page);
    void done(int result) override;

    // The list fonts, the list backgrounds and the rate bar's colour of the settings.
    static void ApplyLooks(MainWindow& window);

    // The tree the serial ports are enumerated in ("/" but in tests).
    std::string EnumerationRoot = "/";
    // The backup folder chooser; tests replace it. Empty for a cancel.
    std::function<QString(const QString& start)> chooseFolder;
    // The CA file chooser, the same way.
    std::function<QString(const QString& start)> chooseFile;

private:
    struct FontControls
    {
        QComboBox* Name = nullptr;
        QSpinBox* Size = nullptr;
        QCheckBox* Bold = nullptr;
    };
    // A sample text in a text and a background colour.
    struct Example
    {
        QLabel* Label = nullptr;
        QColor Text;
        QColor Background;
    };

    QWidget* BuildDecodePage();
    QWidget* BuildScannerControlPage();
    QWidget* BuildScreenPage();
    QWidget* BuildGlobalPage();
    QWidget* BuildActivityPage();
    QWidget* BuildListPage(ListSection section, const std::vector<QWidget*>& extras);
    QWidget* BuildDataOptionsPage();
    QWidget* BuildBackupPage();
    QWidget* BuildWebServicePage();
    QWidget* BuildEventsPage();
    QWidget* FontRow(FontControls& font);
    QWidget* ExampleRow(const QString& caption, Example& example, bool withText);

    QCheckBox* Box(const QString& caption, bool CONFIG::*setting);
    QSpinBox* Spin(int low, int high, int32_t CONFIG::*setting);
    QComboBox* IndexList(const std::vector<const char*>& items, int32_t CONFIG::*setting);
    QLineEdit* Text(std::string CONFIG::*setting);

    void FillDecodePorts(const std::string& current);
    void FillControlPorts(const std::string& current);
    std::vector<SerialDevice> PresentPorts() const;
    void FillFont(const FontControls& controls, const FONTSPEC& font);
    FONTSPEC ReadFont(const FontControls& controls) const;
    void ChooseColour(Example& example, bool text, Example* alsoText = nullptr);
    static void Paint(const Example& example);
    void UpdateEnabling();
    // False, with the page turned to the field and the message told, for settings "Ok" refuses.
    bool AcceptsControls();
    // The settings as the controls read now, over the current ones.
    void ReadControls(CONFIG& config, EXTRASETTINGS& extra) const;
    void CopyBack();
    void Apply();

    MainWindow& m_window;
    QTabWidget* m_pages = nullptr;
    QTabWidget* m_screenPages = nullptr;

    std::vector<std::pair<QCheckBox*, bool CONFIG::*>> m_boxes;
    std::vector<std::pair<QSpinBox*, int32_t CONFIG::*>> m_spins;
    std::vector<std::pair<QComboBox*, int32_t CONFIG::*>> m_indexLists;
    std::vector<std::pair<QLineEdit*, std::string CONFIG::*>> m_texts;

    // What the controls read right after filling: a setting whose control still reads so
    // keeps its stored value on "Ok".
    CONFIG m_shown;
    EXTRASETTINGS m_shownExtra;

    PortList m_decodePorts;
    PortList m_controlPorts;
    QComboBox* m_decodePort = nullptr;
    QPushButton* m_decodeRescan = nullptr;
    QSlider* m_latency = nullptr;
    QLabel* m_latencyText = nullptr;
    QComboBox* m_scannerType = nullptr;
    QComboBox* m_unidenSpeed = nullptr;
    QComboBox* m_barColour = nullptr;
    QProgressBar* m_barExample = nullptr;

    QLabel* m_decodingNote = nullptr;
    QCheckBox* m_controlEnabled = nullptr;
    QComboBox* m_controlPort = nullptr;
    QPushButton* m_controlRescan = nullptr;
    QComboBox* m_controlSpeed = nullptr;
    QComboBox* m_profile = nullptr;
    QLineEdit* m_quietFrequency = nullptr;

    QCheckBox* m_useGlobalFont = nullptr;
    FontControls m_globalFont;
    std::array<FontControls, ListSectionCount> m_listFonts;
    Example m_even;
    Example m_odd;
    Example m_default;
    Example m_control;
    QCheckBox* m_showGrantLog = nullptr;
    QComboBox* m_grantLogMax = nullptr;
    QCheckBox* m_grantFilter = nullptr;
    QSpinBox* m_filterLevel = nullptr;
    QCheckBox* m_filterOther = nullptr;

    QLineEdit* m_backupDays = nullptr;
    QLineEdit* m_backupPath = nullptr;

    QCheckBox* m_webEnabled = nullptr;
    std::vector<QWidget*> m_webFields;
    std::array<QRadioButton*, 3> m_proxyChoices{};
    std::vector<QWidget*> m_proxyFields;

    QCheckBox* m_mqttEnabled = nullptr;
    QWidget* m_mqttFields = nullptr;
    QCheckBox* m_mqttTls = nullptr;
    QLineEdit* m_mqttHost = nullptr;
    QLineEdit* m_mqttCaFile = nullptr;
    QPushButton* m_mqttChooseCaFile = nullptr;
    QLineEdit* m_mqttPrefix = nullptr;
    QLabel* m_mqttHint = nullptr;
};
