// A printer's print port for the port monitor's tests: a TCP listener on
// ADDRESS:9100 (Windows Sockets directly: the platform has no server side)
// that answers each connection's PJL questions with a fixed text and closes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace win32test {

class PjlPrinter {
public:
    // Listens at once; Listening() tells whether it could.
    PjlPrinter(const std::string& csAddress, std::string csAnswer);
    ~PjlPrinter();
    bool Listening() const { return m_listener != -1; }
    // The connections answered so far.
    int Answered() const { return m_answered; }

    // The answer of a printer of the model, with a read-only community or not.
    static std::string Answer(const std::string& csModel, bool bReadOnly);

private:
    void Serve();

    const std::string m_csAnswer;
    intptr_t m_listener = -1;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_answered{0};
    std::thread m_thread;
};

} // namespace win32test
