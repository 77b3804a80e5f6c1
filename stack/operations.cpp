#include "stack/operations.h"

#include <algorithm>

#include "stack/call_tracking.h"
#include "stack/component_catalog.h"
#include "stack/configuration_source.h"
#include "stack/device_info.h"
#include "stack/lower_layer.h"
#include "stack/message_sink.h"
#include "stack/network_message.h"
#include "stack/protocol_message.h"
#include "stack/stack_services.h"

namespace stack {
namespace {

std::vector<std::string_view> MakeList() {
    std::vector<std::string_view> names = {
        STACK_OPERATION(ProtocolMessage, Create),
        STACK_OPERATION(ProtocolMessage, SetSendData),
        STACK_OPERATION(ProtocolMessage, GetSendData),
        STACK_OPERATION(ProtocolMessage, SetDestinationAddress),
        STACK_OPERATION(ProtocolMessage, GetDestinationAddress),
        STACK_OPERATION(ProtocolMessage, SetCommandType),
        STACK_OPERATION(ProtocolMessage, GetCommandType),
        STACK_OPERATION(ProtocolMessage, SetExtraTimeoutValue),
        STACK_OPERATION(ProtocolMessage, GetExtraTimeoutValue),
        STACK_OPERATION(ProtocolMessage, SetReceiveData),
        STACK_OPERATION(ProtocolMessage, GetReceiveData),
        STACK_OPERATION(NetworkMessage, Create),
        STACK_OPERATION(NetworkMessage, SetTimeoutValue),
        STACK_OPERATION(NetworkMessage, GetTimeoutValue),
        STACK_OPERATION(NetworkMessage, SetSendOptions),
        STACK_OPERATION(NetworkMessage, GetSendOptions),
        STACK_OPERATION(DeviceInfo, Create),
        STACK_OPERATION(DeviceInfo, GetStackCookie),
        STACK_OPERATION(DeviceInfo, SetCLSID),
        STACK_OPERATION(DeviceInfo, GetCLSID),
        STACK_OPERATION(DeviceInfo, RemoveCLSID),
        STACK_OPERATION(DeviceInfo, SetUnknown),
        STACK_OPERATION(DeviceInfo, GetUnknown),
        STACK_OPERATION(DeviceInfo, RemoveUnknown),
        STACK_OPERATION(DeviceInfo, SetUnknownShare),
        STACK_OPERATION(DeviceInfo, RemoveUnknownShare),
        STACK_OPERATION(DeviceInfo, GetUnknownShare),
        STACK_OPERATION(DeviceInfo, SetManager),
        STACK_OPERATION(DeviceInfo, GetManager),
        STACK_OPERATION(DeviceInfo, RemoveManager),
        STACK_OPERATION(ConfigurationSource, GetConfigurationText),
        STACK_OPERATION(StackServices, Create),
        STACK_OPERATION(StackServices, RegisterLayer),
        STACK_OPERATION(StackServices, UnregisterLayer),
        STACK_OPERATION(StackServices, GetMessageSink),
        STACK_OPERATION(LowerLayer, AttachDevice),
        STACK_OPERATION(LowerLayer, DetachDevice),
        STACK_OPERATION(LowerLayer, Disconnect),
        STACK_OPERATION(LowerLayer, SendNetworkMessage),
        STACK_OPERATION(LowerLayer, GetRuntimeInformation),
        STACK_OPERATION(LowerLayer, IsValidRuntimeConfiguration),
        STACK_OPERATION(LowerLayer, ChangeRuntimeInformation),
        STACK_OPERATION(MessageSink, DeliverMessage),
        STACK_OPERATION(ComponentCatalog, Create),
        STACK_OPERATION(ComponentCatalog, CreateSection),
        STACK_OPERATION(ComponentCatalog, SetEntry),
        STACK_OPERATION(ComponentCatalog, RemoveEntry),
        STACK_OPERATION(ComponentCatalog, GetEntry),
    };
    // The operations the two message classes share are named from one table.
    for (StandInClass messageClass :
         {StandInClass::ProtocolMessage, StandInClass::NetworkMessage}) {
        for (int i = 0; i < kSharedMessageOperationCount; ++i) {
            names.push_back(
                SharedOperationName(messageClass, static_cast<SharedMessageOperation>(i)));
        }
    }
    return names;
}

}  // namespace

const std::vector<std::string_view>& KnownOperations() {
    static const std::vector<std::string_view> names = MakeList();
    return names;
}

bool IsKnownOperation(std::string_view operation) {
    const auto& names = KnownOperations();
    return std::find(names.begin(), names.end(), operation) != names.end();
}

}  // namespace stack
