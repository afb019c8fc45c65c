// A host value of arbitrary shape (host_value_source.h) into a tree, and from there into
// the resource-event record and each honor record, through the type registry as the
// runtime converts the payloads of resource events.
//
// Checks: the conversion accepts exactly the well-formed values and builds the tree the
// value describes (an expectation built here from the documented rules: kinds, texts up
// to their zero, blobs by count, negative counts as empty containers, a later entry of
// the same name replacing the earlier one, unknown kinds refused with their text); the
// tree converts back into a host value that reads as the same tree; every record that
// converts from the tree converts back, and once more, to the same tree.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "binding/conversion.h"
#include "binding/host_value.h"
#include "binding/type_registry.h"
#include "fuzz_support.h"
#include "honor/honor_records.h"
#include "host_value_source.h"
#include "runtime/plugin_resource_event.h"
#include "runtime/runtime_records.h"
#include "value/nesting_limit.h"

namespace {

using vclient::BindingProperty;
using vclient::BindingResult;
using qivfuzz::Check;

constexpr std::string_view kName = "<result>";

// What reading `value` should give, by the documented rules. `verdict` becomes false on
// the first value that must be refused, `message` its text when the rules fix one.
struct Expectation {
    bool verdict = true;
    std::string message;
    std::size_t deepest = 0;  // containers nested

    void Read(BindingProperty& target, const HostValue& value, std::size_t depth) {
        if (!verdict) return;
        switch (value.kind) {
            case QIV_HOST_VALUE_EMPTY: target.Clear(); return;
            case QIV_HOST_VALUE_BOOL: target.SetBool(value.boolean != 0); return;
            case QIV_HOST_VALUE_SIGNED: target.SetSigned(value.signedValue); return;
            case QIV_HOST_VALUE_UNSIGNED: target.SetUnsigned(value.unsignedValue); return;
            case QIV_HOST_VALUE_FLOAT: target.SetFloat(value.floatValue); return;
            case QIV_HOST_VALUE_STRING:
            case QIV_HOST_VALUE_OWNED_STRING:
                // Up to the terminating zero; the length word is not used. A null text is empty.
                target.SetString(value.string.text == nullptr ? "" : value.string.text);
                return;
            case QIV_HOST_VALUE_BLOB:
            case QIV_HOST_VALUE_OWNED_BLOB:
                if (value.blob.bytes == nullptr && value.blob.size != 0) {
                    verdict = false;
                    return;
                }
                target.SetBlob(vclient::BindingBlob(value.blob.bytes, value.blob.bytes + value.blob.size));
                return;
            case QIV_HOST_VALUE_COLLECTION: {
                deepest = std::max(deepest, depth);
                const auto count = static_cast<std::int32_t>(value.collection.count);
                target.Clear();
                target.EnsureCollection();
                if (count <= 0) return;
                if (value.collection.elements == nullptr) {
                    verdict = false;
                    return;
                }
                for (std::int32_t i = 0; i < count; ++i) Read(target.Append(), value.collection.elements[i], depth + 1);
                return;
            }
            case QIV_HOST_VALUE_STRUCTURE: {
                deepest = std::max(deepest, depth);
                const auto count = static_cast<std::int32_t>(value.structure.count);
                target.Clear();
                target.EnsureStructure();
                if (count <= 0) return;
                if (value.structure.entries == nullptr) {
                    verdict = false;
                    return;
                }
                for (std::int32_t i = 0; i < count && verdict; ++i) {
                    const HostStructureEntry& entry = value.structure.entries[i];
                    if (entry.name == nullptr) {
                        verdict = false;
                        return;
                    }
                    BindingProperty& field = target.Field(entry.name);
                    field.Clear();  // a later entry of the same name replaces the earlier one
                    Read(field, entry.value, depth + 1);
                }
                return;
            }
            default:
                verdict = false;
                message = "Couldn't assign value to '" + std::string(kName) +
                          "' of type object because the input is of an incompatible type ''.";
                return;
        }
    }
};

const vclient::TypeRegistry& Registry() {
    static vclient::TypeRegistry* registry = [] {
        auto* made = new vclient::TypeRegistry();
        vclient::RegisterRuntimeRecords(*made);
        Vorn::Client::Honor::RegisterRecords(*made, "QivHonorV2");
        return made;
    }();
    return *registry;
}

// Converts `tree` into T; when that succeeds, T must convert back, and that tree must
// convert into T and back to the same tree.
template <class T>
void ThroughRecord(const BindingProperty& tree, const char* record) {
    const vclient::TypeRegistry& registry = Registry();
    BindingResult in;
    T value{};
    if (!vclient::FromBinding(in, tree, value, "<value>", registry)) {
        Check(!in.ErrorMessage().empty(), "a refused conversion says why", record);
        return;
    }
    BindingResult out;
    Check(vclient::ToBinding(out, value, registry), "a converted record converts back", record);
    BindingResult in2;
    T value2{};
    Check(vclient::FromBinding(in2, out.Value(), value2, "<value>", registry), "a record's own tree converts",
          std::string(record) + "\n" + in2.ErrorMessage());
    BindingResult out2;
    Check(vclient::ToBinding(out2, value2, registry), "a converted record converts back", record);
    const std::string difference = qivfuzz::Difference(out.Value(), out2.Value());
    Check(difference.empty(), "record conversion is stable", std::string(record) + "\n" + difference);
}

void ThroughEveryRecord(const BindingProperty& tree) {
    namespace Api = Vorn::Client::Honor::Api;
    namespace Proxy = Vorn::Client::Honor::ServiceProxy;
    ThroughRecord<Proxy::HonorPlayerRequest>(tree, "HonorPlayerRequest");
    ThroughRecord<Proxy::RetrieveProfileResponse>(tree, "RetrieveProfileResponse");
    ThroughRecord<Api::HonorConfig>(tree, "HonorConfig");
    ThroughRecord<Api::VMSMessage>(tree, "VMSMessage");
    ThroughRecord<Api::EligiblePlayer>(tree, "EligiblePlayer");
    ThroughRecord<Api::Ballot>(tree, "Ballot");
    ThroughRecord<Api::ProfileInfo>(tree, "ProfileInfo");
    ThroughRecord<Api::ApiHonorPlayerServerRequest>(tree, "ApiHonorPlayerServerRequest");
    ThroughRecord<Api::Honor>(tree, "Honor");
    ThroughRecord<Api::HonorRecipient>(tree, "HonorRecipient");
    ThroughRecord<Api::VendedHonorState>(tree, "VendedHonorState");
    ThroughRecord<Api::DynamicHonorMessage>(tree, "DynamicHonorMessage");
    ThroughRecord<Api::Reward>(tree, "Reward");
    ThroughRecord<Api::VendedReward>(tree, "VendedReward");
    ThroughRecord<Api::VendedHonorChange>(tree, "VendedHonorChange");
    ThroughRecord<Api::FullTeamVote>(tree, "FullTeamVote");
    ThroughRecord<Api::VoteCompletion>(tree, "VoteCompletion");
    ThroughRecord<Api::SequenceEvent>(tree, "SequenceEvent");
    ThroughRecord<Api::LoginSession>(tree, "LoginSession");
    ThroughRecord<Api::GameflowSession>(tree, "GameflowSession");
    ThroughRecord<Api::EndOfGamePlayer>(tree, "EndOfGamePlayer");
    ThroughRecord<Api::EndOfGameTeam>(tree, "EndOfGameTeam");
    ThroughRecord<Api::EndOfGameStats>(tree, "EndOfGameStats");
    ThroughRecord<Api::VyreSimpleMessage>(tree, "VyreSimpleMessage");
    ThroughRecord<Api::VyreSimpleMessageResponse>(tree, "VyreSimpleMessageResponse");
    ThroughRecord<Api::LoginSessionStates>(tree, "LoginSessionStates");
    ThroughRecord<Api::GameflowPhase>(tree, "GameflowPhase");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    qivfuzz::HostValueSource source(in);
    const HostValue value = source.Next();

    BindingResult result;
    BindingProperty tree;
    const bool read = vclient::HostValueToBinding(result, tree, value, kName);
    Check(read == result.Succeeded(), "the answer is the context's verdict");

    Expectation expected;
    BindingProperty expectedTree;
    expected.Read(expectedTree, value, 1);
    const bool nearLimit = expected.deepest + 1 >= vclient::kMaxNestingDepth && expected.deepest <= vclient::kMaxNestingDepth + 1;
    if (expected.deepest > vclient::kMaxNestingDepth + 1) {
        Check(!read, "values nested beyond the limit are refused", std::to_string(expected.deepest));
        return 0;
    }
    if (nearLimit) return 0;  // where exactly the limit bites is the reader's to say
    if (!expected.verdict) {
        Check(!read, "a malformed host value is refused", result.ErrorMessage());
        if (!expected.message.empty()) {
            Check(result.ErrorMessage() == expected.message, "the refusal's text",
                  result.ErrorMessage() + "\nexpected: " + expected.message);
        }
        return 0;
    }
    Check(read, "a well-formed host value is read", result.ErrorMessage());
    const std::string difference = qivfuzz::Difference(expectedTree, tree);
    Check(difference.empty(), "the tree the host value describes", difference);

    // Back across the boundary and in again.
    HostValue back{};
    Check(vclient::BindingToHostValue(back, tree, nullptr), "a read tree converts back");
    BindingResult again;
    BindingProperty againTree;
    Check(vclient::HostValueToBinding(again, againTree, back, kName), "a converted value reads again",
          again.ErrorMessage());
    vclient::HostValueClear(back);
    const std::string backDifference = qivfuzz::Difference(tree, againTree);
    Check(backDifference.empty(), "a tree survives the round trip", backDifference);

    // As the runtime converts a resource event, then its data, then each record.
    BindingResult eventResult;
    vclient::PluginResourceEvent event;
    if (vclient::FromBinding(eventResult, tree, event, "<result>", Registry())) ThroughEveryRecord(event.data);
    ThroughEveryRecord(tree);
    return 0;
}
