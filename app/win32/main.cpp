#include "app/win32/program.h"
#include "cpp/exception.h"

#include <windows.h>

#include <exception>

namespace {

void showError(const cpp::String& text) {
    MessageBoxW(nullptr, text.toWide().c_str(), L"Oops!", MB_OK);
}

// Builds the one program, uninstalls or monitors, pumps until the main window
// has closed, and tears it all down before any error is shown.
void run(HINSTANCE instance, const wchar_t* commandLine) {
    Program program(instance, commandLine ? commandLine : L"");
    if (program.properties().contains("--uninstall"))
        program.uninstall();
    else
        program.start();
    while (program.pump(cpp::Time() + cpp::Duration::milliseconds(50))) {
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    try {
        run(instance, commandLine);
    } catch (const cpp::InterruptException&) {
        // The installer's hand-over to another copy ends this run quietly.
    } catch (const std::exception& error) {
        showError(cpp::String("An error occured: %", error.what()));
    } catch (...) {
        showError("An unknown error occured");
    }
    return 0;
}
