#include "bridge/server_root.h"

#include <utility>

namespace bridge {

std::string ServerRoot::current() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void ServerRoot::set(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
}

bool ServerRoot::whileCurrent(const std::string& root, const std::function<void()>& post) const {
    std::lock_guard lock(mutex_);
    if (root != path_) return false;
    post();
    return true;
}

}  // namespace bridge
