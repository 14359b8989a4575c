// CPortManager: asks the port monitor, over its RPC interface, for a port that
// prints to a printer's address. One object per port: construction installs
// the monitor when it is missing and binds to it, Add makes the one call,
// destruction frees the binding. The binding is the interface's one handle for
// the process, so at most one CPortManager may live at a time (the service
// creates ports under "VexIconMutex").
//
// The call is limited to kCallTimeoutMs (30 s, shortened in tests by
// VEX_DELAY_PERCENT, never below kMinCallTimeoutMs, which covers the monitor's
// own look at the printer): a monitor or printer that hangs fails the port
// creation instead of stopping every later creation.
#pragma once

#include <cstdint>
#include <string>

class CPortManager {
public:
    static constexpr uint32_t kCallTimeoutMs = 30000;
    static constexpr uint32_t kMinCallTimeoutMs = 15000;

    CPortManager();
    ~CPortManager();
    CPortManager(const CPortManager&) = delete;
    CPortManager& operator=(const CPortManager&) = delete;

    bool CreateMonBinding();
    bool RemoveMonBinding();
    // The name of the port the monitor made for csAddr (csName when it kept
    // the requested name), or the empty text on failure; rc gets the monitor's
    // code, or the RPC status when the call itself failed.
    std::string Add(const std::string& csAddr, const std::string& csName, int32_t& rc);

    bool BindingCreated() const { return m_bBindingCreated; }

private:
    char* m_pszStringBinding = nullptr;
    bool m_bBindingCreated = false;
};
