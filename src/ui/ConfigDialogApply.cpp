// The configuration dialog's filling from the settings, its copying back and what "Ok" applies.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include <algorithm>

#include "input/TCommPort.h"
#include "scanner/ScannerProfile.h"
#include "ui/ConfigDialog.h"
#include "ui/ConfigDialogParts.h"
#include "ui/MainWindow.h"

using namespace ConfigDialogParts;

namespace {

// The lists each font section dresses.
const std::pair<ListSection, const char*> SectionLists[] = {
    {ActivityLists, "activity"},         {ActivityLists, "recentGrants"},      {ActivityLists, "currentPatches"},
    {AffiliationLists, "affiliationLog"}, {AffiliationLists, "affiliations"},  {AffiliationLists, "filterRanges"},
    {TowerInfoLists, "adjacentSites"},   {TowerInfoLists, "siteInformation"}, {TowerInfoLists, "identifierTables"},
    {PatchLists, "patchList"},           {PatchLists, "patchLog"},            {OtherInfoLists, "otherEvents"},
    {GrantLists, "grantTrace"},          {UnknownLists, "unknownPackets"},    {PktDumpLists, "packetDump"},
    {PsrDumpLists, "rawDump"},
};

QFont ToQFont(const FONTSPEC& font)
{
    return QFont(Q(font.Name), font.Size, font.Bold ? QFont::Bold : QFont::Normal);
}

// The entry whose data is value, added first when the list lacks it, so that "Ok" keeps
// a setting the list cannot offer.
void Select(QComboBox* list, const QString& value)
{
    int index = list->findData(value, Qt::UserRole, Qt::MatchFixedString);
    if (index < 0) {
        list->insertItem(0, value, value);
        index = 0;
    }
    list->setCurrentIndex(index);
}

void Fill(QComboBox* list, const PortList& ports)
{
    list->clear();
    for (size_t i = 0; i < ports.Names.size(); ++i)
        list->addItem(Q(ports.Labels[i]), Q(ports.Names[i]));
    list->setCurrentIndex(ports.Selected);
}

} // namespace

void ConfigDialog::ApplyLooks(MainWindow& window)
{
    const CONFIG& config = window.Config();
    for (const auto& [section, name] : SectionLists)
        if (ListView* view = window.List(QString::fromUtf8(name)))
            view->setFont(ToQFont(window.Extra().ListFonts[section]));
    const std::pair<const char*, bool> backgrounds[] = {{"activity", true},
                                                        {"affiliations", config.AffiliationsUseTGColors},
                                                        {"affiliationLog", config.AffiliationsUseTGColors},
                                                        {"grantTrace", config.GrantsUseTGColors}};
    for (const auto& [name, own] : backgrounds)
        if (ListView* view = window.List(QString::fromUtf8(name)))
            Tint(view, QPalette::Base, own ? std::optional<uint32_t>(config.DefaultBackground) : std::nullopt);
    Tint(window.m_rateBar, QPalette::Highlight, DecodeBarColor(config.DecodeBarColor));
}

std::vector<SerialDevice> ConfigDialog::PresentPorts() const
{
    std::vector<SerialDevice> devices;
    for (const TCommPort::PortInfo& port : TCommPort::ListPorts(EnumerationRoot))
        devices.push_back({port.Device, port.Description});
    return devices;
}

void ConfigDialog::FillDecodePorts(const std::string& current)
{
    m_decodeRescan->setEnabled(false);
    const CONFIG& config = m_window.Config();
    m_decodePorts = KeepStoredPort(
        DecodeDeviceList(config.ShowAllPorts, config.HighPort,
                         config.ShowAllPorts ? std::vector<SerialDevice>{} : PresentPorts(), current),
        current);
    Fill(m_decodePort, m_decodePorts);
    // The port a session reads stays as it is while the session runs.
    const bool changeable = !m_window.DecodeActive();
    m_decodePort->setEnabled(changeable);
    m_decodeRescan->setVisible(m_decodePorts.RescanVisible);
    m_decodeRescan->setEnabled(changeable);
}

// Leaves "Enable control of Second Scanner" as it is: the callers clear it for an empty list.
void ConfigDialog::FillControlPorts(const std::string& current)
{
    m_controlRescan->setEnabled(false);
    const CONFIG& config = m_window.Config();
    const std::string decodePort =
        ChosenPort(m_decodePorts, m_decodePort->currentText().toStdString(), config.CommPort);
    m_controlPorts = KeepStoredPort(
        ControlDeviceList(config.ShowAllPorts, config.HighPort,
                          config.ShowAllPorts ? std::vector<SerialDevice>{} : PresentPorts(), decodePort, current),
        current);
    Fill(m_controlPort, m_controlPorts);
    // While a session runs the second scanner's port stays as it is.
    const bool changeable = !m_window.DecodeActive();
    m_controlEnabled->setEnabled(m_controlPorts.ControlAllowed && changeable);
    m_controlPort->setEnabled(m_controlPorts.ControlAllowed && changeable);
    m_controlRescan->setEnabled(m_controlPorts.RescanEnabled && changeable);
}

void ConfigDialog::FillFont(const FontControls& controls, const FONTSPEC& font)
{
    Select(controls.Name, Q(font.Name));
    controls.Size->setValue(font.Size);
    controls.Bold->setChecked(font.Bold);
}

FONTSPEC ConfigDialog::ReadFont(const FontControls& controls) const
{
    return {controls.Name->currentText().toStdString(), controls.Size->value(), controls.Bold->isChecked()};
}

void ConfigDialog::Paint(const Example& example)
{
    QPalette palette = example.Label->palette();
    palette.setColor(QPalette::WindowText, example.Text);
    palette.setColor(QPalette::Window, example.Background);
    example.Label->setPalette(palette);
}

void ConfigDialog::ChooseColour(Example& example, bool text, Example* alsoText)
{
    const std::optional<QColor> chosen = m_window.Colours().Choose(this, text ? example.Text : example.Background);
    if (!chosen)
        return;
    (text ? example.Text : example.Background) = *chosen;
    Paint(example);
    if (alsoText) {
        alsoText->Text = *chosen;
        Paint(*alsoText);
    }
}

void ConfigDialog::UpdateEnabling()
{
    const bool decoding = m_window.DecodeActive();
    m_scannerType->setEnabled(!decoding);
    m_unidenSpeed->setEnabled(UnidenSpeedEnabled(m_scannerType->currentIndex()) && !decoding);
    for (const FontControls& font : m_listFonts)
        for (QWidget* control : {static_cast<QWidget*>(font.Name), static_cast<QWidget*>(font.Size),
                                 static_cast<QWidget*>(font.Bold)})
            control->setEnabled(!m_useGlobalFont->isChecked());
    m_grantLogMax->setEnabled(m_showGrantLog->isChecked());
    m_filterLevel->setEnabled(m_grantFilter->isChecked());
    m_filterOther->setEnabled(m_grantFilter->isChecked());
    for (QWidget* field : m_webFields)
        field->setEnabled(m_webEnabled->isChecked());
    const auto manual = std::find_if(m_proxyChoices.begin(), m_proxyChoices.end(),
                                     [](const QRadioButton* choice) { return choice->isChecked(); });
    for (QWidget* field : m_proxyFields)
        field->setEnabled(ProxyFieldsEnabled(static_cast<int>(manual - m_proxyChoices.begin())));
    const MqttEnabling mqtt = MqttFieldsEnabled(m_mqttEnabled->isChecked(), m_mqttTls->isChecked());
    m_mqttFields->setEnabled(mqtt.Fields);
    m_mqttCaFile->setEnabled(mqtt.CaFile);
    m_mqttChooseCaFile->setEnabled(mqtt.CaFile);
}

void ConfigDialog::Prepare(Page page)
{
    m_window.TakeAutoSaveBoxes();
    const CONFIG& c = m_window.Config();
    const EXTRASETTINGS& e = m_window.Extra();
    for (const auto& [box, setting] : m_boxes)
        box->setChecked(c.*setting);
    for (const auto& [spin, setting] : m_spins)
        spin->setValue(c.*setting);
    for (const auto& [list, setting] : m_indexLists)
        list->setCurrentIndex(std::clamp(c.*setting, 0, list->count() - 1));
    for (const auto& [edit, setting] : m_texts)
        edit->setText(Q(c.*setting));

    m_latency->setValue(c.Latency);
    m_latencyText->setText(Q(LatencyText(m_latency->value())));
    m_unidenSpeed->setCurrentIndex(UnidenSpeedIndex(c.UnidenSpeed));
    m_controlSpeed->setCurrentIndex(ChoiceIndex(ControlSpeedChoices, std::to_string(c.ControlPortSpeed), "9600"));
    m_grantLogMax->setCurrentIndex(GrantLogMaxIndex(c.GrantLogMax));
    m_quietFrequency->setText(Q(QuietFrequencyText(c.QuietFrequency)));
    m_backupDays->setText(QString::number(c.BackupDays));
    m_proxyChoices[static_cast<size_t>(ProxyChoiceOfType(c.ProxyType))]->setChecked(true);
    m_mqttHint->setText(Q(MqttTopicHint(c.MqttTopicPrefix)));
    Tint(m_barExample, QPalette::Highlight, DecodeBarColor(m_barColour->currentIndex()));

    m_profile->clear();
    for (const std::string& name : ListScannerProfiles(c.DataFolder))
        m_profile->addItem(Q(name), Q(name));
    Select(m_profile, Q(c.ScannerProfile));

    FillFont(m_globalFont, e.ProgramFont);
    for (int s = 0; s < ListSectionCount; ++s)
        FillFont(m_listFonts[static_cast<size_t>(s)], e.ListFonts[static_cast<size_t>(s)]);
    const std::pair<Example*, std::pair<uint32_t, uint32_t>> examples[] = {
        {&m_even, {c.EvenText, c.EvenBackground}},
        {&m_odd, {c.OddText, c.OddBackground}},
        {&m_default, {c.DefaultText, c.DefaultBackground}},
        {&m_control, {c.ControlText, c.ControlBackground}}};
    for (const auto& [example, colours] : examples) {
        example->Text = ToQColor(colours.first);
        example->Background = ToQColor(colours.second);
        Paint(*example);
    }

    m_decodingNote->setVisible(m_window.DecodeActive());
    m_controlSpeed->setEnabled(!m_window.DecodeActive());
    FillDecodePorts(c.CommPort);
    FillControlPorts(c.ControlPort);
    UpdateEnabling();
    m_shown = c;
    m_shownExtra = e;
    ReadControls(m_shown, m_shownExtra);
    // After the snapshot, so that "Ok" stores it: nothing left to control.
    if (!m_controlPorts.ControlAllowed)
        m_controlEnabled->setChecked(false);
    m_screenPages->setCurrentIndex(0);
    m_pages->setCurrentIndex(page);
}

void ConfigDialog::Open(Page page)
{
    Prepare(page);
    exec();
}

void ConfigDialog::done(int result)
{
    if (result == Accepted) {
        if (!AcceptsControls())
            return;
        CopyBack();
        Apply();
    }
    QDialog::done(result);
}

bool ConfigDialog::AcceptsControls()
{
    CONFIG read = m_window.Config();
    EXTRASETTINGS readExtra = m_window.Extra();
    ReadControls(read, readExtra);
    const MqttRefusal refusal = CheckMqttSettings(read);
    QLineEdit* field = refusal.Field == MqttField::Host          ? m_mqttHost
                       : refusal.Field == MqttField::TopicPrefix ? m_mqttPrefix
                       : refusal.Field == MqttField::CaFile      ? m_mqttCaFile
                                                                 : nullptr;
    if (!field)
        return true;
    m_pages->setCurrentIndex(EventsPage);
    field->setFocus();
    field->selectAll();
    m_window.m_prompter.Tell(this, QStringLiteral("Error"), Q(refusal.Message));
    return false;
}

void ConfigDialog::ReadControls(CONFIG& c, EXTRASETTINGS& e) const
{
    for (const auto& [box, setting] : m_boxes)
        c.*setting = box->isChecked();
    for (const auto& [spin, setting] : m_spins)
        c.*setting = spin->value();
    for (const auto& [list, setting] : m_indexLists)
        c.*setting = list->currentIndex();
    for (const auto& [edit, setting] : m_texts)
        c.*setting = edit->text().toStdString();

    c.CommPort = ChosenPort(m_decodePorts, m_decodePort->currentText().toStdString(), c.CommPort);
    c.ControlPort = ChosenPort(m_controlPorts, m_controlPort->currentText().toStdString(), c.ControlPort);
    c.Latency = m_latency->value();
    c.UnidenSpeed = m_unidenSpeed->currentText().toInt();
    c.ControlPortSpeed = m_controlSpeed->currentText().toInt();
    c.GrantLogMax = m_grantLogMax->currentText().toInt();
    c.ScannerProfile = m_profile->currentData().toString().toStdString();
    c.QuietFrequency = QuietFrequencyValue(m_quietFrequency->text().toStdString(), c.QuietFrequency);
    c.BackupDays = BackupDaysValue(m_backupDays->text().toStdString(), c.BackupDays);
    const auto chosen = std::find_if(m_proxyChoices.begin(), m_proxyChoices.end(),
                                     [](const QRadioButton* choice) { return choice->isChecked(); });
    c.ProxyType = ProxyTypeOfChoice(static_cast<int>(chosen - m_proxyChoices.begin()));

    e.ProgramFont = ReadFont(m_globalFont);
    for (int s = 0; s < ListSectionCount; ++s)
        e.ListFonts[static_cast<size_t>(s)] = c.UseGlobalFont ? e.ProgramFont : ReadFont(m_listFonts[static_cast<size_t>(s)]);
    c.EvenText = c.OddText = ToBgr(m_even.Text);
    c.EvenBackground = ToBgr(m_even.Background);
    c.OddBackground = ToBgr(m_odd.Background);
    c.DefaultText = ToBgr(m_default.Text);
    c.DefaultBackground = ToBgr(m_default.Background);
    c.ControlText = ToBgr(m_control.Text);
    c.ControlBackground = ToBgr(m_control.Background);
}

void ConfigDialog::CopyBack()
{
    CONFIG& c = m_window.Config();
    EXTRASETTINGS& e = m_window.Extra();
    CONFIG read = c;
    EXTRASETTINGS readExtra = e;
    ReadControls(read, readExtra);
    const CONFIG stored = c;
    const EXTRASETTINGS storedExtra = e;
    // Everything as read; then a control that still reads what it showed gives the stored
    // value back, which it may not have been able to show.
    c = read;
    e = readExtra;
    const auto keep = [&]<typename T>(T CONFIG::*setting) {
        c.*setting = OkValue(stored.*setting, m_shown.*setting, read.*setting);
    };
    for (const auto& binding : m_boxes)
        keep(binding.second);
    for (const auto& binding : m_spins)
        keep(binding.second);
    for (const auto& binding : m_indexLists)
        keep(binding.second);
    for (const auto& binding : m_texts)
        keep(binding.second);
    for (auto setting : {&CONFIG::CommPort, &CONFIG::ControlPort, &CONFIG::ScannerProfile})
        keep(setting);
    for (auto setting : {&CONFIG::Latency, &CONFIG::UnidenSpeed, &CONFIG::ControlPortSpeed, &CONFIG::GrantLogMax,
                         &CONFIG::BackupDays, &CONFIG::ProxyType})
        keep(setting);
    keep(&CONFIG::QuietFrequency);
    for (auto setting : {&CONFIG::EvenText, &CONFIG::OddText, &CONFIG::EvenBackground, &CONFIG::OddBackground,
                         &CONFIG::DefaultText, &CONFIG::DefaultBackground, &CONFIG::ControlText,
                         &CONFIG::ControlBackground})
        keep(setting);
    e.ProgramFont = OkValue(storedExtra.ProgramFont, m_shownExtra.ProgramFont, readExtra.ProgramFont);
    for (size_t s = 0; s < e.ListFonts.size(); ++s)
        e.ListFonts[s] = OkValue(storedExtra.ListFonts[s], m_shownExtra.ListFonts[s], readExtra.ListFonts[s]);
    ApplyConfigOkRules(c);
}

void ConfigDialog::Apply()
{
    MainWindow& w = m_window;
    CONFIG& c = w.Config();
    ApplyLooks(w);

    w.ApplyTabVisibility();
    for (const auto& [kind, box] : w.m_autoSave)
        if (const bool* setting = MainWindow::AutoSaveSetting(w.Config(), kind))
            box->setChecked(*setting);
    w.m_decodeToggle->setText(c.PktDumpVisible ? "Disable Decode" : "Enable Decode");
    // The model's log, hit-count and default-colour switches go with the settings.
    w.Control().SetSettings(c, w.Extra());

    w.ApplyLayout();
    w.Refresh().RequestFullRedraw = true;
    w.update();

    std::string errors;
    w.Control().SaveSettings(errors);

    if (!c.BackupEnabled)
        w.m_backupTimer.stop();
    else if (!w.m_backupTimer.isActive())
        w.m_backupTimer.start(Controller::BackupSwitchedOnCheckMs);
}
