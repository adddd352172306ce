#pragma once

// Start-up and shut-down of the tag synchroniser, in the order they must happen.
class MarkStartup {
public:
    // Task types, settings (loaded), the tag and thumbnail pools and the text-tag list.
    static void start();
    // After the last job holding a connection has ended: the pools, then the settings file.
    static void stop();
};
