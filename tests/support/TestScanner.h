#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <termios.h>

#include "decoder/Tsbk.h"
#include "sim/PseudoTerminal.h"

// A scanner on the master side of a pseudo-terminal pair: the program under test opens
// SlavePath() as its serial port. It writes each scanner type's output, answers Pro-96
// polls, and can hang up like an unplugged USB scanner.
class TestScanner
{
public:
    TestScanner();
    ~TestScanner();
    TestScanner(const TestScanner&) = delete;
    TestScanner& operator=(const TestScanner&) = delete;

    const std::string& SlavePath() const { return m_terminal.SlavePath(); }

    bool Write(const std::vector<uint8_t>& bytes);
    bool Write(const std::string& text);
    // Reads what the program sent, waiting up to timeoutMs for the first byte.
    std::vector<uint8_t> ReadSent(int timeoutMs);
    // The line settings the program set on its side (a pseudo-terminal's master reads
    // the slave's settings).
    bool LineSettings(termios& settings) const;
    // Closes the master side: the slave sees a hang-up.
    void HangUp();

    // Answers each Pro-96 poll with the next response (then with silence once they run
    // out), and waits for the acknowledge before it takes the next poll.
    void ServePolls(std::vector<std::vector<uint8_t>> responses);
    int PollsAnswered() const { return m_pollsAnswered.load(); }
    int Acknowledges() const { return m_acknowledges.load(); }

    // The output lines of the text scanner types, line end not included (sim/ScannerLines.h).
    static std::string Psr500Line(const TsbkBlock& block);
    static std::string UnidenLine(const TsbkBlock& block);
    static std::string AnritsuLine(const TsbkBlock& block);
    static std::string Psr800TsbkLine(const TsbkBlock& block);
    static std::string Psr800PduLine(const TsbkBlock& block);
    // A Pro-96 poll response: 21 bytes, byte 5 the status, bytes 7-18 the block.
    static std::vector<uint8_t> Pro96Response(const TsbkBlock& block, uint8_t status = 0x06);
    // "XX" for each byte, separated by separator.
    static std::string HexText(const TsbkBlock& block, const std::string& separator = "");

private:
    void StopServing();

    PseudoTerminal m_terminal;
    std::jthread m_server;
    std::atomic<int> m_pollsAnswered{0};
    std::atomic<int> m_acknowledges{0};
};
