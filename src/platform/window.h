#pragma once

namespace platform {

// What the page's window buttons and a change of server folder ask of the host. Headless
// hosts have no window: they end on close and ignore the rest.
class Window {
  public:
    virtual ~Window() = default;
    virtual void minimize() = 0;
    virtual void toggleMaximize() = 0;
    virtual void close() = 0;
    virtual void startMove() = 0;
    // The server folder changed: map the species folder anew and reload the page, which then
    // asks for everything again with init.
    virtual void reloadForNewRoot() = 0;
};

}  // namespace platform
