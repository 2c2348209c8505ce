// Feeds random bytes to the runtime layer's text parsers and formatters: none may crash,
// read out of bounds, hit undefined behaviour or allocate without bound. The first byte
// picks the routine; the rest is its text (and, for Format, also its arguments).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/NumberText.h"
#include "platform/Unicode.h"

using namespace vorn::platform;

namespace {

// A fixed set of arguments of every kind, so that directives meet each of them.
std::vector<TFormatArg> FuzzArgs(uint8_t selector) {
    std::vector<TFormatArg> args = {
        TFormatArg::Integer(-42),         TFormatArg::FloatValue(1234.5678),
        TFormatArg::Utf8("text"),         TFormatArg::Int64(INT64_MIN),
        TFormatArg::Currency(123456789),  TFormatArg::Wide(u"wide\U0001F600"),
        TFormatArg::Boolean(true),        TFormatArg::Pointer(0xDEADBEEF),
        TFormatArg::Integer(7),           TFormatArg::FloatValue(-1e-300),
    };
    args.resize(selector % (args.size() + 1));
    return args;
}

double ValueFrom(std::string_view bytes) {
    double value = 0;
    if (bytes.size() >= sizeof value) std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        switch (selector % 7) {
        case 0: {
            double value = 0;
            if (TryStrToFloat(text, value)) (void)FloatToStr(value);
            break;
        }
        case 1: {
            int64_t value = 0;
            int32_t value32 = 0;
            (void)TryStrToInt64(text, value);
            (void)TryStrToInt(text, value32);
            break;
        }
        case 2:
            (void)Format(text, FuzzArgs(selector / 7));
            break;
        case 3:
            (void)FormatFloat(text, ValueFrom(text));
            (void)FormatFloat(text, -1234.5678);
            break;
        case 4:
            (void)FormatDateTime(text, 45358.6458);
            (void)FormatDateTime(text, ValueFrom(text));
            break;
        case 5: {
            const UString wide = Utf8ToUtf16(text);
            (void)Utf16ToUtf8(wide);
            (void)Utf16ToAnsi(wide);
            break;
        }
        case 6: {
            TDateTime value = 0;
            if (TryStrToDateTime(text, value)) (void)DateTimeToStr(value);
            (void)FloatToStrF(ValueFrom(text), TFloatFormat(selector % 5), selector % 25, selector % 20);
            break;
        }
        }
    } catch (const Exception&) {
        // Clean errors are expected for bad input.
    }
    return 0;
}
