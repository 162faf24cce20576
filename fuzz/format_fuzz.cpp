// `%` formatting with a random format and up to three arguments of random
// kinds, checked against a plain model of the substitution: each `%` takes
// the next argument's text, surplus `%` stay, surplus arguments vanish.
#include "cpp/file_path.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {


std::string modelSubstitution(const std::string& format, const std::vector<std::string>& texts) {
    std::string result;
    std::size_t pos = 0;
    for (const std::string& text : texts) {
        const std::size_t placeholder = format.find('%', pos);
        if (placeholder == std::string::npos) {
            break;
        }
        result += format.substr(pos, placeholder - pos) + text;
        pos = placeholder + 1;
    }
    return result + format.substr(pos);
}

template <int Remaining, class... Arguments>
cpp::String formatWith(FuzzedDataProvider& input, const cpp::String& format, std::vector<std::string>& texts,
                       const Arguments&... arguments);

// Adds next after the arguments chosen so far, with the text the model
// expects for it.
template <int Remaining, class Next, class... Arguments>
cpp::String formatWithNext(FuzzedDataProvider& input, const cpp::String& format, std::vector<std::string>& texts,
                           const Next& next, std::string text, const Arguments&... arguments) {
    texts.push_back(std::move(text));
    return formatWith<Remaining - 1>(input, format, texts, arguments..., next);
}

template <int Remaining, class Integer, class... Arguments>
cpp::String formatWithInteger(FuzzedDataProvider& input, const cpp::String& format, std::vector<std::string>& texts,
                              const Arguments&... arguments) {
    const auto value = input.ConsumeIntegral<Integer>();
    return formatWithNext<Remaining>(input, format, texts, value, std::to_string(value), arguments...);
}

// Chooses the kind of each further argument from the input, and formats
// once all are chosen.
template <int Remaining, class... Arguments>
cpp::String formatWith(FuzzedDataProvider& input, const cpp::String& format, std::vector<std::string>& texts,
                       const Arguments&... arguments) {
    if constexpr (Remaining == 0) {
        if constexpr (sizeof...(Arguments) == 0) {
            return cpp::String(format.span());
        } else {
            return cpp::String(format.span(), arguments...);
        }
    } else {
        switch (input.ConsumeIntegralInRange(0, 5)) {
        case 0: {
            const cpp::String text(input.ConsumeRandomLengthString(64));
            return formatWithNext<Remaining>(input, format, texts, text, text, arguments...);
        }
        case 1:
            return formatWithInteger<Remaining, std::int64_t>(input, format, texts, arguments...);
        case 2:
            return formatWithInteger<Remaining, std::uint64_t>(input, format, texts, arguments...);
        case 3:
            return formatWithInteger<Remaining, std::int16_t>(input, format, texts, arguments...);
        case 4: {
            const cpp::Duration value(input.ConsumeIntegral<std::uint64_t>());
            return formatWithNext<Remaining>(input, format, texts, value, formatText(value), arguments...);
        }
        default: {
            // Absolute text, so that the path does not depend on the working directory.
            const cpp::FilePath value(cpp::String("/" + input.ConsumeRandomLengthString(64)).span());
            return formatWithNext<Remaining>(input, format, texts, value, value.text(), arguments...);
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const cpp::String format(input.ConsumeRandomLengthString(256));
    std::vector<std::string> texts;
    cpp::String result;
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        result = formatWith<0>(input, format, texts);
        break;
    case 1:
        result = formatWith<1>(input, format, texts);
        break;
    case 2:
        result = formatWith<2>(input, format, texts);
        break;
    default:
        result = formatWith<3>(input, format, texts);
        break;
    }
    if (result != modelSubstitution(format, texts)) {
        std::abort();
    }
    return 0;
}
