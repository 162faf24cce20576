#include "app/last_resort.h"

#include "cpp/exception.h"

#include <exception>

void runAsLastResort(const std::function<void()>& body, const std::function<void(const cpp::String&)>& tellUser) {
    try {
        body();
    } catch (const cpp::InterruptException&) {
    } catch (const std::exception& error) {
        tellUser(cpp::String("An error occured: %", error.what()));
    } catch (...) {
        tellUser("An unknown error occured");
    }
}
