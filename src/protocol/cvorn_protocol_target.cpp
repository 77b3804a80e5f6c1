// CVORNProtocol::SamePhysicalTarget: another configuration addresses this layer's target when
// it names the same port and the same network, byte for byte.
#include <string>

#include "config/config_lookup.h"
#include "platform/result_macros.h"
#include "platform/text.h"
#include "protocol/cvorn_protocol.h"
#include "protocol/entry_barrier.h"
#include "trace/zqm_trace.h"

HRESULT CVORNProtocol::SamePhysicalTarget(LPWSTR prgConfig, LONG* pbSame) {
    ZQMTraceJO("CVORNProtocol::SamePhysicalTarget() IN\n");
    return protocol::RunInsideEntryBarrier(
        [&] { return SamePhysicalTargetInternal(prgConfig, pbSame); });
}

HRESULT CVORNProtocol::SamePhysicalTargetInternal(LPWSTR prgConfig, LONG* pbSame) {
    if (!initialised) {
        ZQMTraceError("CVORNProtocol::SamePhysicalTarget() Not Initialised\n");
        return E_FAIL;
    }
    RETURN_HR_IF_NULL(E_POINTER, pbSame);
    const std::string text = platform::WideToAnsi(prgConfig);
    std::string port;
    std::string network;
    const bool named = config::ReadPortAndNetwork(port, network, text.c_str());
    *pbSame = named && IsOwnTarget(port, network) ? 1 : 0;
    return S_OK;
}

bool CVORNProtocol::IsOwnTarget(const std::string& port, const std::string& network) {
    // Compared under the lock, as ChangeRuntimeInformation may be replacing the names.
    platform::CriticalSectionGuard guard(settingsLock);
    return portName == port && networkName == network;
}
