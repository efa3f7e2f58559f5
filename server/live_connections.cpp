#include "server/live_connections.h"

#include <utility>

LiveSocket::LiveSocket(LiveConnections& list, platform::SocketHandle socket) : list_(list), socket_(std::move(socket)) {
    std::lock_guard<std::mutex> hold(list_.lock);
    next_ = list_.first;
    if (next_ != nullptr) next_->previous_ = this;
    list_.first = this;
}

LiveSocket::~LiveSocket() {
    std::lock_guard<std::mutex> hold(list_.lock);
    (previous_ == nullptr ? list_.first : previous_->next_) = next_;
    if (next_ != nullptr) next_->previous_ = previous_;
}

void BreakOffLiveConnections(LiveConnections& list) {
    std::lock_guard<std::mutex> hold(list.lock);
    for (LiveSocket* entry = list.first; entry != nullptr; entry = entry->next_) {
        platform::BreakOffConnection(entry->native());
    }
}
