#pragma once

#include "cpp/async_io.h"
#include "cpp/bus.h"
#include "cpp/file_path.h"
#include "cpp/logger.h"
#include "cpp/property_map.h"
#include "cpp/time.h"

#include <string>

namespace cpp::Program {

// The frame of a whole program: the command line as properties, the program
// file and start directory, and the logger, I/O service and task bus that
// every part of the program reaches through the current program.
class Standard {
public:
    // commandLine is the command line without the program name.
    explicit Standard(const std::wstring& commandLine);
    virtual ~Standard();
    Standard(const Standard&) = delete;
    Standard& operator=(const Standard&) = delete;

    // Processes what is pending without waiting; returns whether the program
    // still runs.
    virtual bool poll();
    // Processes what arrives until deadline; returns whether the program
    // still runs. A console program has nothing to wait for and only polls.
    virtual bool pump(const Time& deadline);

    bool running() const { return running_; }
    // "cmdline", "argc", "arg[0]"... and every argument parsed as a property,
    // so that "--uninstall" is present with an empty value.
    const PropertyMap& properties() const { return properties_; }
    const FilePath& programPath() const { return programPath_; }
    const FilePath& currentDirectory() const { return currentDirectory_; }
    Logger& logger() { return logger_; }
    const AsyncIO& asyncIO() const { return asyncIO_; }
    const Bus& bus() const { return bus_; }

protected:
    // Set once, when the window thread receives the quit message.
    void stopRunning() { running_ = false; }
    // The main-thread tasks that are due, then one ready I/O completion.
    void runDueWork();

private:
    bool running_ = true;
    PropertyMap properties_;
    FilePath programPath_;
    FilePath currentDirectory_;
    Logger logger_;
    AsyncIO asyncIO_;
    Bus bus_;
};

// The calling thread's program if it has one, else the process-wide one.
Standard* current();

} // namespace cpp::Program
