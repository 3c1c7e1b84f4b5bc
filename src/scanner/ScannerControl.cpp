#include "scanner/ScannerControl.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int ParityNone = 0;
constexpr int ParityOdd = 1;
constexpr int ParityEven = 2;
constexpr int OneStopBit = 0;
constexpr int TwoStopBits = 2;

// Spacings in MHz and their templates, compared exactly: identifier tables give spacings
// as multiples of 0.000125 that equal these constants.
struct SpacingTemplate
{
    double Spacing;
    ScannerCommand Command;
};
constexpr SpacingTemplate SpacingTemplates[] = {
    {0.005, CommandActive5},   {0.00625, CommandActive6_25}, {0.0075, CommandActive7_5}, {0.01, CommandActive10},
    {0.0125, CommandActive12_5}, {0.025, CommandActive25},   {0.05, CommandActive50},    {0.1, CommandActive100},
};

ScannerCommand TemplateForSpacing(double spacing)
{
    for (const SpacingTemplate& entry : SpacingTemplates)
        if (entry.Spacing == spacing)
            return entry.Command;
    return CommandActive12_5;
}

}

ScannerControl::ScannerControl(const std::string& portName, const std::string& profileName, double quietFrequency,
                               int portSpeed, const std::string& dataFolder)
    : m_portName(portName)
{
    m_profilePath = FindScannerProfile(profileName, dataFolder);
    if (m_profilePath.empty())
        return;

    const SCANPROFILE profile = ReadScannerProfile(m_profilePath);
    m_portSpeed = portSpeed != 0 ? portSpeed : DefaultPortSpeed;
    if (profile.HasForceSpeed)
        m_portSpeed = profile.ForceSpeed;
    m_quietFrequency = quietFrequency;
    m_description = profile.Description;
    m_dataBits = profile.PortBits;
    m_parity = profile.PortParity;
    m_stopBits = profile.PortStop;
    m_binaryMode = profile.BinaryMode;
    m_byteSwap = profile.ByteSwap;
    m_commands = profile.Commands;

    m_port = std::make_unique<TCommPort>();
    m_port->SetPortName(m_portName);
    m_port->SetBaudRate(m_portSpeed);
    m_port->SetByteSize(m_dataBits);
    m_port->SetParity(m_parity == "O" ? ParityOdd : m_parity == "E" ? ParityEven : ParityNone);
    m_port->SetStopBits(m_stopBits == 2 ? TwoStopBits : OneStopBit);
    if (m_port->Open()) {
        m_port->RaiseDtr();
        m_active = true;
    }
}

ScannerControl::~ScannerControl()
{
    if (m_port)
        m_port->Close();
}

std::string ScannerControl::ExpandTemplate(const std::string& text) const
{
    return ::ExpandTemplate(text, {m_activeFrequency, m_quietFrequency, m_spacing});
}

// Reads until nothing is waiting (or the port has gone), within DrainLimitMs.
void ScannerControl::Drain()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DrainLimitMs);
    while (m_port->BytesWaiting() > 0 && std::chrono::steady_clock::now() < deadline)
        m_port->DiscardBytes(DrainChunk);
}

void ScannerControl::DrainAnswer()
{
    if (m_port->WaitForBytes(AnswerWaitMs) > 0)
        Drain();
}

bool ScannerControl::SendCommand(const std::string& text)
{
    if (!m_active)
        return false;
    m_port->PurgeInput();
    // Write, unlike WriteText, keeps going when the driver takes a long command in parts.
    m_port->Write(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    m_port->FlushOutput();
    DrainAnswer();
    return true;
}

void ScannerControl::SendTemplate(ScannerCommand which)
{
    SendCommand(ExpandTemplate(m_commands[which]));
}

template <size_t Size>
void ScannerControl::SendFrame(const std::array<uint8_t, Size>& frame)
{
    m_port->Write(frame.data(), static_cast<int>(Size));
}

bool ScannerControl::IsTunable(double frequency, bool& noticed, const char* what)
{
    if (frequency >= LowestFrequency && frequency <= HighestFrequency)
        return true;
    if (!noticed && onNotice) {
        char text[160];
        std::snprintf(text, sizeof text, "%s %g MHz is not sent: a scanner takes %g to %g MHz", what, frequency,
                      LowestFrequency, HighestFrequency);
        onNotice(text);
    }
    noticed = true;
    return false;
}

void ScannerControl::StartScanner()
{
    if (!m_active || m_binaryMode || m_commands[CommandInit].empty())
        return;
    SendTemplate(CommandInit);
    m_lastFrequency = StartFrequency;
    Drain();
}

void ScannerControl::ResumeScan()
{
    if (!m_active)
        return;
    if (m_binaryMode) {
        SendFrame(ResumeFrame());
        m_lastFrequency = 0.0;
        return;
    }
    if (m_commands[CommandScan].empty())
        return;
    SendTemplate(CommandScan);
    m_lastFrequency = 0.0;
    Drain();
}

void ScannerControl::GoQuiet()
{
    if (!m_active || m_quietFrequency == m_lastFrequency)
        return;
    // 0 asks for scanning; any other value must be one the scanner can be parked on.
    if (m_quietFrequency != 0.0 && !IsTunable(m_quietFrequency, m_quietNoticed, "the quiet frequency"))
        return;
    m_lastFrequency = m_quietFrequency;
    if (m_binaryMode) {
        if (m_quietFrequency == 0.0)
            SendFrame(ResumeFrame());
        else
            SendFrame(TuneFrame(m_quietFrequency, m_byteSwap));
        return;
    }
    if (m_quietFrequency == 0.0) {
        ResumeScan();
        return;
    }
    if (m_commands[CommandQuiet].empty())
        return;
    SendTemplate(CommandQuiet);
    Drain();
}

void ScannerControl::TuneTo(double spacing, double frequency)
{
    if (!m_active || frequency == m_lastFrequency || !IsTunable(frequency, m_tuneNoticed, "the channel frequency"))
        return;
    if (m_binaryMode) {
        SendFrame(TuneFrame(frequency, m_byteSwap));
        m_lastFrequency = frequency;
        return;
    }
    const ScannerCommand which = TemplateForSpacing(spacing);
    if (m_commands[which].empty())
        return;
    m_spacing = spacing;
    m_activeFrequency = frequency;
    SendTemplate(which);
    m_lastFrequency = frequency;
    Drain();
}
