#include "app/last_resort.h"
#include "program/win32/program.h"

#include <windows.h>

namespace {

void showError(const cpp::String& text) {
    MessageBoxW(nullptr, text.toWide().c_str(), L"Oops!", MB_OK);
}

// Builds the one program, uninstalls or monitors, pumps until the main window
// has closed, and tears it all down before any error is shown.
void run(const wchar_t* commandLine) {
    Program program(commandLine ? commandLine : L"");
    if (program.properties().contains("--uninstall"))
        program.uninstall();
    else
        program.start();
    // The pump returns whenever it has run work; the deadline only bounds a
    // sleep in which nothing is due.
    while (program.pump(cpp::Time() + cpp::Duration::hours(1))) {
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // The program and all it owns are gone before an error is shown.
    runAsLastResort([&] { run(commandLine); }, showError);
    return 0;
}
