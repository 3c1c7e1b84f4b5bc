#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One serial port over POSIX termios. Settings are kept while the port is closed and
// applied at Open; the port is used by one thread at a time and takes no lock.
//
// Port names: a name beginning with "/" is a device path; "COMn" (any case, n >= 1) is
// the n-th port of ListPorts(), the numbering FindFirstPort/FindNextPort report; any
// other name is taken as a file in /dev ("ttyUSB0").
//
// Open is exclusive: TIOCEXCL refuses other openers (except root) and an advisory flock
// refuses every other TCommPort, root included.
//
// Reads wait at most ReadTimeoutConstant + 1 ms per requested byte and return early
// once the line stays silent for InterByteGap after at least one byte. Writes are bounded
// the same way. Nothing here blocks without a bound, and nothing throws.
class TCommPort
{
public:
    struct PortInfo
    {
        std::string Device;      // "/dev/ttyUSB0"
        std::string Description; // the /dev/serial/by-id name when there is one, else empty
    };

    static constexpr int InterByteGapMs = 15;
    static constexpr int ReadTimeoutConstantMs = 250;
    static constexpr int WriteTimeoutConstantMs = 250;
    static constexpr int ErrorTextSize = 255;
    static constexpr char HangUpText[] = "the scanner's port was closed (hang-up)";

    TCommPort() = default;
    ~TCommPort();
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    void SetPortName(const std::string& name);
    const std::string& PortName() const { return m_portName; }
    // The device the name stands for ("" for a COMn beyond the ports present).
    std::string DevicePath() const;

    bool SetBaudRate(int baud);
    bool SetByteSize(int bits);
    bool SetParity(int parity);     // 0 none, 1 odd, 2 even
    bool SetStopBits(int stopBits); // 0 one, 1 one and a half (taken as two), 2 two

    bool Open();
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // Copies the error text of the last failed open (at least ErrorTextSize bytes) and
    // returns its code (errno).
    int LastError(char* text) const;
    const std::string& ErrorText() const { return m_errorText; }

    // Writes and waits until the bytes have left; returns the number written.
    int Write(const uint8_t* bytes, int count);
    int WriteText(const char* text);
    bool WriteByte(uint8_t byte);
    // Reads up to count bytes within the time-outs; NUL-terminates a short read.
    int Read(uint8_t* buffer, int count);
    uint8_t ReadByte();
    void DiscardBytes(int count);
    // Bytes in the receive queue; -1 once the device has hung up or failed (an unplugged
    // USB adapter), which a caller takes as the end of the port.
    int BytesWaiting();
    // Waits up to timeoutMs for input without spinning; the result is as BytesWaiting.
    int WaitForBytes(int timeoutMs);
    bool PurgeInput();
    bool FlushOutput();
    // False on a device without modem lines (a pseudo-terminal answers ENOTTY).
    bool RaiseDtr();
    bool DropDtr();
    bool DropRts();

    // Enumeration over ListPorts(): the number (1-based) of the next port not above
    // highest, with the name set to it; -2 while this object's own port is open, -1 at
    // the end.
    int FindFirstPort(int highest);
    int FindNextPort(int highest);

    // The serial devices present: /sys/class/tty entries with a device behind them (a
    // legacy UART slot without a chip is left out), sorted by device path. root replaces
    // "/" so that a test can offer its own tree.
    static std::vector<PortInfo> ListPorts(const std::string& root = "/");
    // The tree that COMn names and the enumeration read; "/" unless a test says otherwise.
    void SetEnumerationRoot(const std::string& root) { m_root = root; }

private:
    bool ApplySettings();
    bool SetModemLine(int line, bool raise);
    void SetError(int code);

    std::string m_portName = "COM1";
    int m_baudRate = 9600;
    int m_byteSize = 8;
    int m_parity = 0;
    int m_stopBits = 0;
    int m_fd = -1;
    int m_lastError = 0;
    std::string m_errorText;
    int m_enumCounter = 0;
    std::string m_root = "/";
};
