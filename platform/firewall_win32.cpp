#include "platform/firewall.h"

#include <windows.h>

#include <netfw.h>
#include <oleauto.h>

namespace platform {

namespace {

// Releases a COM interface when it goes.
template <typename T>
struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p != nullptr) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

std::wstring TakeText(BSTR text) {
    std::wstring copy = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

FirewallRule ReadRule(INetFwRule* rule) {
    FirewallRule read;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    long profiles = 0;
    long protocol = 256;
    BSTR text = nullptr;
    if (SUCCEEDED(rule->get_Enabled(&enabled))) read.enabled = enabled != VARIANT_FALSE;
    if (SUCCEEDED(rule->get_Direction(&direction))) read.inbound = direction == NET_FW_RULE_DIR_IN;
    if (SUCCEEDED(rule->get_Action(&action))) read.allow = action == NET_FW_ACTION_ALLOW;
    if (SUCCEEDED(rule->get_Profiles(&profiles))) read.profiles = static_cast<std::uint32_t>(profiles);
    if (SUCCEEDED(rule->get_Protocol(&protocol))) read.protocol = static_cast<int>(protocol);
    if (SUCCEEDED(rule->get_ApplicationName(&text))) read.application = TakeText(text);
    text = nullptr;
    if (SUCCEEDED(rule->get_LocalPorts(&text))) read.localPorts = text != nullptr ? TakeText(text) : L"*";
    return read;
}

bool ReadRules(INetFwPolicy2* firewall, std::vector<FirewallRule>& rules) {
    ComPtr<INetFwRules> list;
    ComPtr<IUnknown> enumerator;
    ComPtr<IEnumVARIANT> items;
    if (FAILED(firewall->get_Rules(list.put())) || FAILED(list->get__NewEnum(enumerator.put())) ||
        FAILED(enumerator->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(items.put())))) {
        return false;
    }
    VARIANT item;
    VariantInit(&item);
    while (items->Next(1, &item, nullptr) == S_OK) {
        ComPtr<INetFwRule> rule;
        if (item.vt == VT_DISPATCH && item.pdispVal != nullptr &&
            SUCCEEDED(item.pdispVal->QueryInterface(__uuidof(INetFwRule), reinterpret_cast<void**>(rule.put())))) {
            rules.push_back(ReadRule(rule.p));
        }
        VariantClear(&item);
    }
    return true;
}

void ReadPolicy(INetFwPolicy2* firewall, FirewallPolicy& policy) {
    long current = 0;
    if (FAILED(firewall->get_CurrentProfileTypes(&current))) return;
    policy.currentProfiles = static_cast<std::uint32_t>(current);
    for (NET_FW_PROFILE_TYPE2 profile : {NET_FW_PROFILE2_DOMAIN, NET_FW_PROFILE2_PRIVATE, NET_FW_PROFILE2_PUBLIC}) {
        VARIANT_BOOL enabled = VARIANT_FALSE;
        if (FAILED(firewall->get_FirewallEnabled(profile, &enabled))) return;
        if (enabled != VARIANT_FALSE) policy.enabledProfiles |= static_cast<std::uint32_t>(profile);
    }
    policy.readable = ReadRules(firewall, policy.rules);
}

}  // namespace

FirewallPolicy ReadFirewallPolicy() {
    FirewallPolicy policy;
    // A thread that already has COM keeps its own apartment (RPC_E_CHANGED_MODE): only a
    // start that succeeded is ended here.
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<INetFwPolicy2> firewall;
        if (SUCCEEDED(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                                       __uuidof(INetFwPolicy2), reinterpret_cast<void**>(firewall.put())))) {
            ReadPolicy(firewall.p, policy);
        }
    }
    if (SUCCEEDED(started)) CoUninitialize();
    if (!policy.readable) policy = FirewallPolicy{};
    return policy;
}

}  // namespace platform
