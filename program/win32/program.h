#pragma once

#include "cpp/win32/win_app.h"

#include <memory>
#include <string>

// The application object: the windowed program frame plus the monitor's
// shared objects, reached by every part through the current program.
class Program : public cpp::Program::WinApp {
public:
    explicit Program(const std::wstring& commandLine);
    ~Program() override;

    // The monitor's start-up: the install step, configuration, the main
    // window, the update check, the hosts and their runners, the saved placement and
    // scale. Throws what ends the program.
    void start();
    // Removes the installed program, its data, shortcut and entry.
    void uninstall();

    // Saves hosts, active hosts and, while the main window exists, its
    // placement and scale.
    void saveConfiguration();

    class Detail;

private:
    // The metrics page, if the command line or config.txt asks for it.
    void startMetrics();
    void checkForUpdate();
    void applySavedPlacement();
    void applySavedScale();

    std::shared_ptr<Detail> detail_;
};
