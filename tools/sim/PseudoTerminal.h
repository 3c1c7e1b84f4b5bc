#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <termios.h>

// The master side of a pseudo-terminal pair: whatever plays a scanner writes here, and
// the program under test opens SlavePath() as its serial port.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Holds the slave open in raw mode, so that output written before a reader opens it
    // is neither echoed back nor lost to a hang-up; writes then never block.
    bool HoldSlave();

    // All of bytes, or false (the master is closed, or, while the slave is held, the
    // terminal's buffer is full because nobody reads).
    bool Write(const uint8_t* bytes, size_t length);
    bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(const std::string& text) { return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // Waits up to timeoutMs for input, then reads what is there (at most max bytes).
    std::vector<uint8_t> Read(int timeoutMs, size_t max = 256);
    // What the program sent: everything until it has been quiet for 20 ms.
    std::vector<uint8_t> ReadSent(int timeoutMs);
    // The line settings the program set on the terminal.
    bool LineSettings(termios& settings) const
    {
        const int master = m_master.load();
        return master >= 0 && ::tcgetattr(master, &settings) == 0;
    }
    // Closes the master side: the slave sees a hang-up.
    void HangUp();

private:
    // Atomic: a thread serving the terminal may read it while another hangs up.
    std::atomic<int> m_master{-1};
    int m_heldSlave = -1;
    std::string m_slavePath;
};
