// CPortManager: the port monitor's RPC client.
#include "service/PortManager.h"

#include "common/PortMonitorRpc.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/rpc.h"
#include "service/PortMonInstall.h"

#include <algorithm>

namespace {

// The name's conversion is a step of adding the port.
constexpr CTraceName kTraceAsAdd("CPortManager::Add");

} // namespace

using namespace platform;

namespace {

std::string Narrow(const std::u16string& cs) {
    return Utf16ToAnsi(cs.data(), cs.size());
}

size_t CountChars(const std::string& cs) {
    // Characters of the code page (UTF-8): every byte that does not continue one.
    return size_t(std::count_if(cs.begin(), cs.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// mbstowcs with the check that every character was converted.
bool Widen(const std::string& cs, std::u16string* pWide) {
    bool ok = AnsiToUtf16(cs, pWide);
    size_t expected = CountChars(cs);
    size_t converted = 0;
    for (char16_t c : *pWide)
        converted += (c >= 0xDC00 && c <= 0xDFFF) ? 0 : 1;
    if (!ok || converted != expected) {
        kTraceAsAdd.Err("mbstowcs didn't work correctly, %d chars converted "
                        "instead of %d",
                        int(converted), int(expected));
        return false;
    }
    return true;
}

} // namespace

CPortManager::CPortManager() {
    CTraceScope scope("CPortManager::CPortManager");
    CPortMonInstall install;
    if (!install.IsPortMonInstalled() && !install.InstallPortMonitor())
        return;
    m_bBindingCreated = CreateMonBinding();
}

CPortManager::~CPortManager() {
    CTraceScope scope("CPortManager::~CPortManager");
    if (m_bBindingCreated)
        RemoveMonBinding();
}

bool CPortManager::CreateMonBinding() {
    CTraceScope scope("CPortManager::CreateMonBinding");
    RPC_STATUS status = RpcStringBindingCompose(nullptr, "ncacn_np", nullptr, nullptr, nullptr,
                                                &m_pszStringBinding);
    if (status != RPC_S_OK) {
        scope.Err("RpcStringBindingCompose failed, rc=%d", int(status));
        scope.Result(false);
        return false;
    }
    status = RpcBindingFromStringBinding(m_pszStringBinding, &g_hPortMonitorBinding);
    if (status != RPC_S_OK) {
        scope.Err("RpcBindingFromStringBinding failed, rc=%d", int(status));
        RpcStringFree(&m_pszStringBinding);
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

bool CPortManager::RemoveMonBinding() {
    CTraceScope scope("CPortManager::RemoveMonBinding");
    bool bResult = true;
    RPC_STATUS status = RpcStringFree(&m_pszStringBinding);
    if (status != RPC_S_OK) {
        scope.Err("RpcStringFree failed, rc=%d", int(status));
        bResult = false;
    }
    status = RpcBindingFree(&g_hPortMonitorBinding);
    if (status != RPC_S_OK) {
        scope.Err("RpcBindingFree failed, rc=%d", int(status));
        bResult = false;
    }
    m_bBindingCreated = false;
    scope.Result(bResult);
    return bResult;
}

std::string CPortManager::Add(const std::string& csAddr, const std::string& csName, int32_t& rc) {
    CTraceScope scope("CPortManager::Add");
    std::string csResult;
    if (!m_bBindingCreated) {
        scope.Err("Add called, but binding not created");
        return csResult;
    }
    std::u16string wsAddr, wsName;
    if (!Widen(csAddr, &wsAddr) || !Widen(csName, &wsName))
        return csResult;
    char16_t szPortName[kMonPortNameChars] = {};
    if (wsName.size() >= kMonPortNameChars) {
        std::u16string wsCut = wsName.substr(0, kMonPortNameChars - 1);
        scope.Wrn("Port name string passed in too long; instead of\n"
                  "              '%s'\n       we will use\n              '%s'",
                  csName.c_str(), Narrow(wsCut).c_str());
        wsName = wsCut;
    }
    std::copy(wsName.begin(), wsName.end(), szPortName);

    RPC_STATUS status = RPC_S_OK;
    rc = monSetNewPort(szPortName, wsAddr.c_str(), 3, &status,
                       std::max(ScaledDelay(kCallTimeoutMs), kMinCallTimeoutMs));
    if (status != RPC_S_OK) {
        // The call itself failed: no port; the status stands in for the code.
        scope.Err("Call to the port monitor failed, RPC status=%d", int(status));
        rc = int32_t(status);
        return csResult;
    }
    scope.Inf("Port monitor return code was %d", int(rc));
    csResult = Narrow(szPortName);
    scope.Inf("Port monitor name %s", csResult.c_str());
    if (rc == 0 || rc == 1) {
        csResult = Narrow(wsName);
    } else if (rc == 51 || rc == 61) {
        scope.Wrn("monSetNewPort returned different port name %s", csResult.c_str());
    } else {
        scope.Err("monSetNewPort failed, rc=%d", int(rc));
    }
    scope.Result("'%s'", csResult.c_str());
    return csResult;
}
