// Feeds arbitrary texts to the reply parsers: they must never crash, read out of bounds or loop, and
// ExtractBetween must always return a piece of its input.

#include "support/Exception.h"
#include "support/Q.Strings.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes split the rest into text, start and end delimiter.
    const std::size_t rest = size - 2;
    const std::size_t a = data[0] % (rest + 1);
    const std::size_t b = a + data[1] % (rest - a + 1);
    const auto piece = [&](std::size_t from, std::size_t to) {
        return QString::fromUtf8(reinterpret_cast<const char*>(data + 2 + from), qsizetype(to - from));
    };
    const QString text = piece(0, a);
    const QString start = piece(a, b).left(8);
    const QString end = piece(b, rest).left(4);

    const QString extracted = ExtractBetween(text, start, end);
    if (!extracted.isEmpty() && !text.contains(extracted))
        std::abort();
    try {
        const QString unescaped = UnescapeJson(text);
        if (unescaped.size() > text.size())
            std::abort();
    } catch (const EConvertError&) {
        // Bad \u digits are reported this way by design.
    }
    return 0;
}
