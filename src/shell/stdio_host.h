#pragma once
#include <istream>
#include <ostream>

#include "bridge/app.h"

// The Window of headless hosts: closing ends the host, the rest means nothing without a
// window. A changed server folder needs no reload: the script sends init again.
class HeadlessWindow : public platform::Window {
  public:
    void minimize() override {}
    void toggleMaximize() override {}
    void close() override { closed_ = true; }
    void startMove() override {}
    void reloadForNewRoot() override {}
    bool closed() const { return closed_; }

  private:
    bool closed_ = false;
};

// The headless host: one JSON message per line in, one per line out, nothing else on the
// output. Runs until the input ends or winClose (the app's window must be `window`);
// returns the exit code.
int runStdioHost(App& app, HeadlessWindow& window, std::istream& in, std::ostream& out);
