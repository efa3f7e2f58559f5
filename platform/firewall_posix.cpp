#include "platform/firewall.h"

namespace platform {

FirewallPolicy ReadFirewallPolicy() {
    return {};  // there is no Windows Firewall to ask
}

}  // namespace platform
