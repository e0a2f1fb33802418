#pragma once

#include <functional>

// Runs `Proc` on a pool thread and returns when it has finished, handling the user-interface thread's
// events meanwhile, so that the windows stay alive: callers guard against re-entry themselves. An
// exception that `Proc` lets out is dropped; its effect shows only in what `Proc` left behind.
void Wait(std::function<void()> Proc);
