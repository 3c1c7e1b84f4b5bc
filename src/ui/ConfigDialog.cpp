#include "ui/ConfigDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSysInfo>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/ConfigDialogParts.h"
#include "ui/MainWindow.h"

using namespace ConfigDialogParts;

ConfigDialog::ConfigDialog(MainWindow& window) : QDialog(&window), m_window(window)
{
    setObjectName(QStringLiteral("configDialog"));
    setWindowTitle(QStringLiteral("Configuration Settings"));
    // A debug log older versions left in the current folder.
    QFile::remove(QStringLiteral("ConfigDebug.log"));

    m_pages = new QTabWidget;
    // Every page's tab in sight, at the minimum size too.
    m_pages->setUsesScrollButtons(false);
    m_pages->addTab(BuildDecodePage(), QStringLiteral("Decode Configuration"));
    m_pages->addTab(BuildScannerControlPage(), QStringLiteral("Scanner Control"));
    m_pages->addTab(BuildScreenPage(), QStringLiteral("Screen Settings"));
    m_pages->addTab(BuildDataOptionsPage(), QStringLiteral("Data Options"));
    m_pages->addTab(BuildBackupPage(), QStringLiteral("Data Backup"));
    m_pages->addTab(BuildWebServicePage(), QStringLiteral("RR Web Service/Proxy Settings"));
    m_pages->addTab(BuildEventsPage(), QStringLiteral("Events"));
    m_pages->setCurrentIndex(DecodePage);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
    // Only once the button is in the dialog does the dialog keep it as its default; set
    // earlier, Enter pressed nothing.
    ok->setDefault(true);
}

ConfigDialog& ConfigDialog::Of(MainWindow& window)
{
    auto* dialog = window.findChild<ConfigDialog*>(QString(), Qt::FindDirectChildrenOnly);
    return dialog ? *dialog : *new ConfigDialog(window);
}

// A port list that also takes a typed device path, as the probe never lists pseudo-terminals.
static QComboBox* PortChoice()
{
    auto* list = new QComboBox;
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(16);
    return list;
}

QCheckBox* ConfigDialog::Box(const QString& caption, bool CONFIG::*setting)
{
    auto* box = new QCheckBox(caption);
    m_boxes.emplace_back(box, setting);
    return box;
}

QSpinBox* ConfigDialog::Spin(int low, int high, int32_t CONFIG::*setting)
{
    auto* spin = new QSpinBox;
    spin->setRange(low, high);
    m_spins.emplace_back(spin, setting);
    return spin;
}

QComboBox* ConfigDialog::IndexList(const std::vector<const char*>& items, int32_t CONFIG::*setting)
{
    auto* list = Choices(items);
    m_indexLists.emplace_back(list, setting);
    return list;
}

QLineEdit* ConfigDialog::Text(std::string CONFIG::*setting)
{
    auto* edit = new QLineEdit;
    m_texts.emplace_back(edit, setting);
    return edit;
}

QWidget* ConfigDialog::BuildDecodePage()
{
    m_decodePort = PortChoice();
    m_decodePort->setObjectName(QStringLiteral("decodePort"));
    m_decodeRescan = new QPushButton(QStringLiteral("Rescan"));
    m_decodeRescan->setObjectName(QStringLiteral("decodeRescan"));
    connect(m_decodeRescan, &QPushButton::clicked, this, [this] {
        FillDecodePorts(ChosenPort(m_decodePorts, m_decodePort->currentText().toStdString(), m_window.Config().CommPort));
    });
    auto* port = Group(QString(), {Caption("Select Serial Port to Use to communicate with the decoding Scanner:"),
                                   Row({m_decodePort, m_decodeRescan}, 0)});

    m_latency = new QSlider(Qt::Horizontal);
    m_latency->setRange(0, 100);
    m_latency->setObjectName(QStringLiteral("latency"));
    m_latencyText = new QLabel;
    m_latencyText->setMinimumWidth(m_latencyText->fontMetrics().horizontalAdvance(QStringLiteral("100 ms ")));
    connect(m_latency, &QSlider::valueChanged, this, [this](int value) { m_latencyText->setText(Q(LatencyText(value))); });
    auto* latency = Group(QStringLiteral("Latency (PRO-96/PRO-2096 Only)"),
                          {Row({m_latency, Caption("Current Setting:"), m_latencyText}, 0)});

    m_scannerType = IndexList({"Pro-96/Pro-2096", "PSR-500/PSR-600/Pro-106/Pro-197", "Uniden BCD396XT",
                               "Anritsu S412D Analyzer", "PSR-800/WS1080/WS1088/WS1095/WS1098"},
                              &CONFIG::ScannerType);
    m_scannerType->setObjectName(QStringLiteral("scannerType"));
    connect(m_scannerType, &QComboBox::currentIndexChanged, this, &ConfigDialog::UpdateEnabling);
    m_unidenSpeed = Choices(UnidenSpeedChoices);
    m_unidenSpeed->setObjectName(QStringLiteral("unidenSpeed"));
    auto* model = Group(QString(), {Caption("Decoding Scanner Model::"), Row({m_scannerType}),
                                    Row({Caption("Port Speed:"), m_unidenSpeed,
                                         Caption("(Only needed for Uniden BCD396XT)")})});

    m_barColour = IndexList({DecodeBarColorNames.begin(), DecodeBarColorNames.end()}, &CONFIG::DecodeBarColor);
    m_barColour->setObjectName(QStringLiteral("barColour"));
    m_barExample = new QProgressBar;
    m_barExample->setRange(0, 100);
    m_barExample->setValue(70);
    m_barExample->setTextVisible(false);
    m_barExample->setMaximumHeight(14);
    connect(m_barColour, &QComboBox::currentIndexChanged, this,
            [this](int index) { Tint(m_barExample, QPalette::Highlight, DecodeBarColor(index)); });
    auto* bar = Group(QStringLiteral("Decode Rate Indicator Bar"), {Row({m_barColour, m_barExample}, 1)});

    return Stacked({port, latency, model, bar});
}

QWidget* ConfigDialog::BuildScannerControlPage()
{
    m_decodingNote =
        Caption("Note:  These settings may not be changed while Zembrant is actively monitoring a system.");
    m_decodingNote->setObjectName(QStringLiteral("decodingNote"));
    m_controlEnabled = Box(QStringLiteral("Enable control of Second Scanner"), &CONFIG::ScanControlEnabled);
    m_controlEnabled->setObjectName(QStringLiteral("controlEnabled"));
    m_controlPort = PortChoice();
    m_controlPort->setObjectName(QStringLiteral("controlPort"));
    m_controlRescan = new QPushButton(QStringLiteral("Rescan"));
    m_controlRescan->setObjectName(QStringLiteral("controlRescan"));
    connect(m_controlRescan, &QPushButton::clicked, this, [this] {
        FillControlPorts(
            ChosenPort(m_controlPorts, m_controlPort->currentText().toStdString(), m_window.Config().ControlPort));
        if (!m_controlPorts.ControlAllowed)
            m_controlEnabled->setChecked(false);
    });
    m_controlSpeed = Choices(ControlSpeedChoices);
    m_controlSpeed->setObjectName(QStringLiteral("controlSpeed"));
    m_profile = new QComboBox;
    m_profile->setObjectName(QStringLiteral("profile"));
    m_quietFrequency = new QLineEdit;
    m_quietFrequency->setObjectName(QStringLiteral("quietFrequency"));
    m_quietFrequency->setMaximumWidth(m_quietFrequency->fontMetrics().horizontalAdvance(QStringLiteral("0000.000000")));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Control Port:"), Row({m_controlPort, m_controlRescan}, 0));
    form->addRow(QStringLiteral("Port Speed:"), Row({m_controlSpeed}));
    form->addRow(QStringLiteral("Private Call Priority:"),
                 Row({Spin(0, 99, &CONFIG::PrivatePriority), Caption("(Set priority to 0 to ignore all private calls.)")}));
    form->addRow(QStringLiteral("Use this Profile:"), Row({m_profile}));
    form->addRow(QStringLiteral("Quiet Frequency:"), Row({m_quietFrequency}));
    auto* settings = new QWidget;
    settings->setLayout(form);
    return Stacked({m_decodingNote, Group(QStringLiteral("Second Scanner"), {m_controlEnabled, settings})});
}

QWidget* ConfigDialog::BuildScreenPage()
{
    m_screenPages = new QTabWidget;
    m_screenPages->setUsesScrollButtons(false);
    m_screenPages->setObjectName(QStringLiteral("screenPages"));
    m_screenPages->addTab(BuildGlobalPage(), QStringLiteral("Global"));
    m_screenPages->addTab(BuildActivityPage(), QStringLiteral("Activity"));
    const QString visible = QStringLiteral("Make this screen visible");
    const QString autoSave = QStringLiteral("Turn on Auto Save at Startup");
    const QString tgColours = QStringLiteral("Use Talkgroup Color Settings (Odd/Even Colors will be used if unchecked)");
    m_screenPages->addTab(
        BuildListPage(AffiliationLists,
                      {Box(QStringLiteral("Make these screens Visible (This function controls both the "
                                         "Affiliations Log and Affiliations List Tabs)"),
                          &CONFIG::AffiliationsVisible),
                       Box(QStringLiteral("Include Denied Affiliations in affiliation log screen"), &CONFIG::LogDenied),
                       Box(autoSave, &CONFIG::AffiliationsAutoSave),
                       Box(tgColours, &CONFIG::AffiliationsUseTGColors)}),
        QStringLiteral("Affiliations"));
    m_screenPages->addTab(
        BuildListPage(TowerInfoLists, {Box(QStringLiteral("Make this screen Visible"), &CONFIG::TowerInfoVisible)}),
        QStringLiteral("Site Info"));
    m_screenPages->addTab(BuildListPage(PatchLists, {Box(visible, &CONFIG::PatchesVisible),
                                                     Box(autoSave, &CONFIG::PatchesAutoSave)}),
                          QStringLiteral("Patches"));
    m_screenPages->addTab(BuildListPage(OtherInfoLists, {Box(visible, &CONFIG::OtherInfoVisible),
                                                         Box(autoSave, &CONFIG::OtherInfoAutoSave)}),
                          QStringLiteral("Other"));

    QCheckBox* grantsVisible = Box(visible, &CONFIG::GrantsVisible);
    grantsVisible->setObjectName(QStringLiteral("grantsVisible"));
    m_grantFilter = Box(QStringLiteral("Enable filtering on Grant Log screen"), &CONFIG::GrantsUseFilter);
    connect(m_grantFilter, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    m_filterLevel = Spin(1, 99, &CONFIG::GrantsFilterLevel);
    m_filterLevel->setValue(90);
    m_filterOther = Box(QStringLiteral("Filter all Non-Voice channel grants"), &CONFIG::GrantsFilterOther);
    auto* filter = Group(QString(), {m_grantFilter,
                                     Row({Caption("Filter all talkgroups  with priority levels higher than"),
                                          m_filterLevel}),
                                     m_filterOther});
    m_screenPages->addTab(
        BuildListPage(GrantLists,
                      {grantsVisible, Box(autoSave, &CONFIG::GrantsAutoSave),
                       Box(tgColours, &CONFIG::GrantsUseTGColors), filter,
                       Row({Caption("Custom Color Priority:"),
                            IndexList({"Radio ID Color", "Talkgroup ID Color", "Split Color"}, &CONFIG::GrantsColorMode)})}),
        QStringLiteral("GrantLog"));
    m_screenPages->addTab(BuildListPage(UnknownLists, {Box(visible, &CONFIG::UnknownsVisible),
                                                       Box(autoSave, &CONFIG::UnknownsAutoSave)}),
                          QStringLiteral("Unknown"));
    m_screenPages->addTab(BuildListPage(PktDumpLists, {Box(visible, &CONFIG::PktDumpVisible),
                                                       Box(autoSave, &CONFIG::PktDumpAutoSave)}),
                          QStringLiteral("Dump"));
    m_screenPages->addTab(BuildListPage(PsrDumpLists, {Box(visible, &CONFIG::PsrDumpVisible),
                                                       Box(autoSave, &CONFIG::PsrDumpAutoSave)}),
                          QStringLiteral("RAW Dump"));
    return m_screenPages;
}

QWidget* ConfigDialog::FontRow(FontControls& font)
{
    font.Name = new QComboBox;
    for (const QString& family : QFontDatabase::families())
        font.Name->addItem(family, family);
    font.Size = new QSpinBox;
    font.Size->setRange(6, 12);
    font.Bold = new QCheckBox;
    return Row({Caption("Font:"), font.Name, Caption("Size:"), font.Size, Caption("Bold:"), font.Bold});
}

QWidget* ConfigDialog::ExampleRow(const QString& caption, Example& example, bool withText)
{
    example.Label = new QLabel(caption);
    example.Label->setAutoFillBackground(true);
    example.Label->setFrameShape(QFrame::Box);
    // One width for every example, so that their buttons line up.
    example.Label->setMinimumWidth(example.Label->fontMetrics().horizontalAdvance(QStringLiteral("Default Talkgroup")));
    std::vector<QWidget*> widgets{example.Label};
    if (withText) {
        auto* text = new QPushButton(QStringLiteral("Text"));
        connect(text, &QPushButton::clicked, this, [this, &example] { ChooseColour(example, true); });
        widgets.push_back(text);
    }
    auto* background = new QPushButton(QStringLiteral("Background"));
    background->setObjectName(caption + QStringLiteral(" background"));
    connect(background, &QPushButton::clicked, this, [this, &example] { ChooseColour(example, false); });
    widgets.push_back(background);
    return Row(widgets);
}

QWidget* ConfigDialog::BuildGlobalPage()
{
    m_useGlobalFont = Box(QStringLiteral("Use Global Font"), &CONFIG::UseGlobalFont);
    m_useGlobalFont->setObjectName(QStringLiteral("useGlobalFont"));
    connect(m_useGlobalFont, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    QWidget* font = FontRow(m_globalFont);
    // The global font's box alone reads "Bold".
    font->findChildren<QLabel*>().back()->setText(QStringLiteral("Bold"));

    auto* text = new QPushButton(QStringLiteral("Text"));
    connect(text, &QPushButton::clicked, this, [this] { ChooseColour(m_even, true, &m_odd); });
    auto* oddEven = Group(QStringLiteral("Odd/Even Display Screens:"),
                          {ExampleRow(QStringLiteral("Even Lines"), m_even, false),
                           ExampleRow(QStringLiteral("Odd Lines"), m_odd, false), Row({text})});
    return Stacked({m_useGlobalFont, font, oddEven,
                 Box(QStringLiteral("Save window sizes and column positions on exit."), &CONFIG::SaveScreenSizes),
                 Box(QStringLiteral("Show abbreviated system information at the bottom of the screen."),
                     &CONFIG::HideSystemInfo)});
}

QWidget* ConfigDialog::BuildActivityPage()
{
    m_showGrantLog = Box(QStringLiteral("Include Abbreviated Grant Log on activity screen"), &CONFIG::ShowGrantLog);
    connect(m_showGrantLog, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    m_grantLogMax = Choices(GrantLogMaxChoices);
    m_grantLogMax->setObjectName(QStringLiteral("grantLogMax"));
    auto* colours = new QGroupBox;
    auto* form = new QFormLayout(colours);
    form->addRow(QStringLiteral("Default Talkgroup:"), ExampleRow(QStringLiteral("Talkgroup"), m_default, true));
    form->addRow(QStringLiteral("Control Channel:"), ExampleRow(QStringLiteral("Control"), m_control, true));
    return BuildListPage(
        ActivityLists,
        {colours, m_showGrantLog,
         Row({Caption("Include the last"), m_grantLogMax, Caption("grant log entries in this window.")}),
         Box(QStringLiteral("Include Patch List on Activity Screen"), &CONFIG::ShowPatchList),
         Row({Caption("Custom Color Priority:"),
              IndexList({"Radio ID Color", "Talkgroup ID Color", "Split Color"}, &CONFIG::ActivityColorMode)}),
         Box(QStringLiteral("Save Repeater Hit Counts Across Restarts (Data save required)"), &CONFIG::SaveHits)});
}

QWidget* ConfigDialog::BuildListPage(ListSection section, const std::vector<QWidget*>& extras)
{
    std::vector<QWidget*> widgets{FontRow(m_listFonts[section])};
    widgets.insert(widgets.end(), extras.begin(), extras.end());
    return Stacked(widgets);
}

QWidget* ConfigDialog::BuildDataOptionsPage()
{
    return Stacked({Row({Box(QStringLiteral("Auto Save Data every"), &CONFIG::AutoSaveEnabled),
                      Spin(1, 60, &CONFIG::AutoSaveInterval), Caption("Minute(s)")}),
                 Box(QStringLiteral("Add Date to all log file names."), &CONFIG::IncludeDate),
                 Box(QStringLiteral("Require Confirmations for Clear and Stop Monitoring Buttons"), &CONFIG::Confirmations),
                 Box(QStringLiteral("Save all site and system data when Stop Decode button is pressed."),
                     &CONFIG::DataSaveOnDecodeStop),
                 Box(QStringLiteral("Save all site and system data when exiting the program (if decode active)"),
                     &CONFIG::DataSaveOnExit),
                 Box(QStringLiteral("Save all screen log data when Stop Decode button is pressed."),
                     &CONFIG::LogSaveOnDecodeStop),
                 Box(QStringLiteral("Save all screen log data when exiting the program (if decode active)"),
                     &CONFIG::LogSaveOnExit),
                 Row({Box(QStringLiteral("Keep a history of grants, affiliations and patches for"),
                          &CONFIG::HistoryEnabled),
                      Spin(1, MaxHistoryDays, &CONFIG::HistoryDays), Caption("Day(s)")})});
}

QWidget* ConfigDialog::BuildBackupPage()
{
    m_backupDays = new QLineEdit;
    m_backupDays->setObjectName(QStringLiteral("backupDays"));
    m_backupDays->setMaximumWidth(m_backupDays->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    m_backupPath = Text(&CONFIG::BackupPath);
    m_backupPath->setObjectName(QStringLiteral("backupPath"));
    auto* choose = new QPushButton(QStringLiteral("..."));
    choose->setObjectName(QStringLiteral("chooseBackupPath"));
    choose->setMaximumWidth(choose->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 20);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString start = m_backupPath->text();
        const QString folder =
            chooseFolder ? chooseFolder(start) : QFileDialog::getExistingDirectory(this, QString(), start);
        if (!folder.isEmpty())
            m_backupPath->setText(folder);
    });
    QCheckBox* enabled = Box(QStringLiteral("Enable Data Backup every"), &CONFIG::BackupEnabled);
    enabled->setObjectName(QStringLiteral("backupEnabled"));
    return Stacked({Row({enabled, m_backupDays, Caption("days.  (Range 1 day to 365 Days)")}),
                 Row({Caption("Backup Path: "), m_backupPath, choose}, 1),
                 Box(QStringLiteral("Add Date to backup folder name"), &CONFIG::BackupAddDate)});
}

QWidget* ConfigDialog::BuildWebServicePage()
{
    m_webEnabled = Box(QStringLiteral("Enable the Radio Reference Web Service Option."), &CONFIG::RRWebEnabled);
    m_webEnabled->setObjectName(QStringLiteral("webEnabled"));
    connect(m_webEnabled, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    QLineEdit* webPassword = Text(&CONFIG::RRPassword);
    QSpinBox* timeOut = Spin(0, 86400, &CONFIG::WebTimeOut);
    m_webFields = {Text(&CONFIG::RRUserName), webPassword, timeOut};
    auto* web = new QFormLayout;
    web->addRow(QStringLiteral("User Name:"), m_webFields[0]);
    web->addRow(QStringLiteral("Password:"), webPassword);
    web->addRow(QStringLiteral("Receive Time-Out:"), Row({timeOut, Caption("Seconds")}));

    auto* choices = new QButtonGroup(this);
    auto* types = new QWidget;
    auto* typeLayout = new QHBoxLayout(types);
    typeLayout->setContentsMargins(0, 0, 0, 0);
    const char* captions[] = {"Automatic", "No Proxy", "Manual Configuration"};
    for (int i = 0; i < 3; ++i) {
        m_proxyChoices[static_cast<size_t>(i)] = new QRadioButton(QString::fromUtf8(captions[i]));
        choices->addButton(m_proxyChoices[static_cast<size_t>(i)], i);
        typeLayout->addWidget(m_proxyChoices[static_cast<size_t>(i)]);
    }
    typeLayout->addStretch(1);
    connect(choices, &QButtonGroup::idToggled, this, &ConfigDialog::UpdateEnabling);
    QLineEdit* proxyPassword = Text(&CONFIG::ProxyPassword);
    m_proxyFields = {Text(&CONFIG::ProxyAddress), Spin(0, 65535, &CONFIG::ProxyPort),
                     Box(QStringLiteral("Proxy Requires User name and Password"), &CONFIG::ProxyLoginRequired),
                     Text(&CONFIG::ProxyUserName), proxyPassword};
    for (QLineEdit* password : {webPassword, proxyPassword}) {
        password->setEchoMode(QLineEdit::Password);
        password->setMaxLength(MaxPasswordLength);
    }
    auto* proxy = new QFormLayout;
    proxy->addRow(QStringLiteral("Proxy Type:"), types);
    proxy->addRow(QStringLiteral("Proxy Address:"), m_proxyFields[0]);
    proxy->addRow(QStringLiteral("Port:"), Row({m_proxyFields[1]}));
    proxy->addRow(m_proxyFields[2]);
    proxy->addRow(QStringLiteral("User Name:"), m_proxyFields[3]);
    proxy->addRow(QStringLiteral("Password:"), proxyPassword);

    auto* webGroup = Group(QStringLiteral("Radio Reference Web Service"), {m_webEnabled});
    static_cast<QVBoxLayout*>(webGroup->layout())->addLayout(web);
    auto* proxyGroup = new QGroupBox(QStringLiteral("Proxy Settings"));
    proxyGroup->setLayout(proxy);
    return Stacked({webGroup, proxyGroup});
}

QWidget* ConfigDialog::BuildEventsPage()
{
    m_mqttEnabled = Box(QStringLiteral("Publish live events to an MQTT broker"), &CONFIG::MqttEnabled);
    m_mqttEnabled->setObjectName(QStringLiteral("mqttEnabled"));
    connect(m_mqttEnabled, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    m_mqttHost = Text(&CONFIG::MqttHost);
    m_mqttHost->setObjectName(QStringLiteral("mqttHost"));
    QSpinBox* port = Spin(1, 65535, &CONFIG::MqttPort);
    port->setObjectName(QStringLiteral("mqttPort"));
    m_mqttTls = Box(QStringLiteral("Use TLS"), &CONFIG::MqttTls);
    m_mqttTls->setObjectName(QStringLiteral("mqttTls"));
    connect(m_mqttTls, &QCheckBox::toggled, this, &ConfigDialog::UpdateEnabling);
    m_mqttCaFile = Text(&CONFIG::MqttCaFile);
    m_mqttCaFile->setObjectName(QStringLiteral("mqttCaFile"));
    m_mqttChooseCaFile = new QPushButton(QStringLiteral("Browse..."));
    m_mqttChooseCaFile->setObjectName(QStringLiteral("chooseMqttCaFile"));
    connect(m_mqttChooseCaFile, &QPushButton::clicked, this, [this] {
        const QString start = m_mqttCaFile->text();
        const QString filter = QStringLiteral("Certificates (*.pem *.crt);;All files (*)");
        const QString file = chooseFile ? chooseFile(start)
                                        : QFileDialog::getOpenFileName(this, QStringLiteral("CA file"), start, filter);
        if (!file.isEmpty())
            m_mqttCaFile->setText(file);
    });
    QLineEdit* userName = Text(&CONFIG::MqttUserName);
    userName->setObjectName(QStringLiteral("mqttUserName"));
    QLineEdit* password = Text(&CONFIG::MqttPassword);
    password->setObjectName(QStringLiteral("mqttPassword"));
    password->setEchoMode(QLineEdit::Password);
    password->setMaxLength(MaxPasswordLength);
    m_mqttPrefix = Text(&CONFIG::MqttTopicPrefix);
    m_mqttPrefix->setObjectName(QStringLiteral("mqttTopicPrefix"));
    QLineEdit* clientId = Text(&CONFIG::MqttClientId);
    clientId->setObjectName(QStringLiteral("mqttClientId"));
    clientId->setPlaceholderText(Q(DefaultMqttClientId(QSysInfo::machineHostName().toStdString())));

    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Host:"), Row({m_mqttHost, Caption("Port:"), port}, 0));
    form->addRow(QString(), m_mqttTls);
    form->addRow(QStringLiteral("CA file:"), Row({m_mqttCaFile, m_mqttChooseCaFile}, 0));
    form->addRow(QStringLiteral("User name:"), userName);
    form->addRow(QStringLiteral("Password:"), password);
    form->addRow(QStringLiteral("Topic prefix:"), m_mqttPrefix);
    form->addRow(QStringLiteral("Client ID:"), clientId);
    m_mqttFields = new QWidget;
    m_mqttFields->setLayout(form);

    m_mqttHint = new QLabel;
    m_mqttHint->setObjectName(QStringLiteral("mqttHint"));
    m_mqttHint->setWordWrap(true);
    m_mqttHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Grey, but darker than the disabled texts, so that it does not read as switched off.
    QPalette grey = m_mqttHint->palette();
    const QColor text = grey.color(QPalette::WindowText);
    const QColor window = grey.color(QPalette::Window);
    grey.setColor(QPalette::WindowText, QColor((text.red() * 3 + window.red() * 2) / 5,
                                               (text.green() * 3 + window.green() * 2) / 5,
                                               (text.blue() * 3 + window.blue() * 2) / 5));
    m_mqttHint->setPalette(grey);
    connect(m_mqttPrefix, &QLineEdit::textChanged, this,
            [this](const QString& prefix) { m_mqttHint->setText(Q(MqttTopicHint(prefix.toStdString()))); });
    return Stacked({Group(QStringLiteral("MQTT broker"), {m_mqttEnabled, m_mqttFields, m_mqttHint})});
}
