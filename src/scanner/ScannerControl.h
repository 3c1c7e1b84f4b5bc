#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "input/TCommPort.h"
#include "scanner/CommandTemplates.h"
#include "scanner/ScannerProfile.h"

// Drives a second scanner on its own serial port from a profile, for one decode session.
// Created, used and destroyed on the user-interface thread; it takes no lock. Without a
// profile file, or when the port does not open, it stays inactive and every command does
// nothing.
class ScannerControl
{
public:
    static constexpr int DefaultPortSpeed = 9600;
    // The last frequency after start: no real channel, so the first tuning always goes out.
    static constexpr double StartFrequency = 0.1;
    static constexpr double StartSpacing = 0.0125;
    static constexpr int DrainChunk = 100;
    // How long a text command waits for the first byte of the scanner's answer, so that
    // the drain takes this command's answer rather than leaving it to the next purge.
    static constexpr int AnswerWaitMs = 50;
    // A scanner that never stops talking would otherwise hold the window for ever.
    static constexpr int DrainLimitMs = 1000;
    // The frequencies sent to a scanner, MHz: wider than the band of any scanner the
    // profiles drive, and within the digits of every template and a tune frame's 32 bits.
    static constexpr double LowestFrequency = 1.0;
    static constexpr double HighestFrequency = 3000.0;

    // Looks for profileName in the user's data folder, then beside the executable.
    ScannerControl(const std::string& portName, const std::string& profileName, double quietFrequency,
                   int portSpeed, const std::string& dataFolder = "");
    ~ScannerControl();
    ScannerControl(const ScannerControl&) = delete;
    ScannerControl& operator=(const ScannerControl&) = delete;

    void StartScanner();
    void ResumeScan();
    void GoQuiet();
    void TuneTo(double spacing, double frequency);
    std::string ExpandTemplate(const std::string& text) const;
    // Purges the input, writes text, flushes and drains the answer; false while inactive.
    bool SendCommand(const std::string& text);

    bool IsActive() const { return m_active; }
    // The profile file in use; "" when none was found.
    const std::string& ProfilePath() const { return m_profilePath; }
    const std::string& Description() const { return m_description; }
    const std::string& PortName() const { return m_portName; }
    int32_t PortSpeed() const { return m_portSpeed; }
    int32_t DataBits() const { return m_dataBits; }
    const std::string& Parity() const { return m_parity; }
    int32_t StopBits() const { return m_stopBits; }
    bool IsBinaryMode() const { return m_binaryMode; }
    bool IsByteSwap() const { return m_byteSwap; }
    const std::string& Command(ScannerCommand which) const { return m_commands[which]; }
    double LastFrequency() const { return m_lastFrequency; }

    // Why a frequency was not sent: once for the quiet frequency, once for the first
    // channel frequency out of range.
    std::function<void(const std::string& text)> onNotice;

private:
    void Drain();
    void DrainAnswer();
    void SendTemplate(ScannerCommand which);
    // False, with its notice the first time, for a frequency no scanner can take.
    bool IsTunable(double frequency, bool& noticed, const char* what);
    template <size_t Size>
    void SendFrame(const std::array<uint8_t, Size>& frame);

    std::string m_description;
    std::string m_portName;
    int32_t m_portSpeed = DefaultPortSpeed;
    int32_t m_dataBits = 8;
    std::string m_parity = "N";
    int32_t m_stopBits = 1;
    bool m_binaryMode = false;
    bool m_byteSwap = false;
    std::array<std::string, ScannerCommandCount> m_commands;
    std::unique_ptr<TCommPort> m_port;
    bool m_active = false;
    double m_lastFrequency = StartFrequency;
    double m_quietFrequency = 0.0;
    double m_spacing = StartSpacing;
    double m_activeFrequency = 0.0;
    std::string m_profilePath;
    bool m_quietNoticed = false;
    bool m_tuneNoticed = false;
};
