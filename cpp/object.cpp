#include "cpp/object.h"

#include "cpp/string.h"

namespace cpp {

std::pair<String, String> Object::describe() const {
    return {String::format("Object { %p }", static_cast<const void*>(this)), String()};
}

} // namespace cpp
