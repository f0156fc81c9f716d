#pragma once

#include <filesystem>
#include <optional>

class App;

namespace app {

// In this order: the file types are registered, the application gets the menu bar, the About
// item is bound to it, and the main window opens. Throws what any step throws.
void startUp(App& app);

// Releases the menu bar and the file types, then closes the windows that are left.
void shutDown();

// Starts up, runs the event loop and shuts down. The exit status is the event loop's result;
// an error that stops start-up is shown, skips the loop, and makes the status 1. Shutdown
// runs either way.
int run(App& app, const std::optional<std::filesystem::path>& document = std::nullopt);

}  // namespace app
