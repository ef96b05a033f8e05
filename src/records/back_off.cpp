#include "back_off.h"

namespace qvlink::records {

std::chrono::milliseconds SpreadBackOff(std::chrono::milliseconds span, std::uint64_t draw) {
    if (span < std::chrono::milliseconds(2)) return span;
    // Every bit of the draw stirred into every bit of the result (splitmix64's finalizer).
    draw ^= draw >> 30;
    draw *= 0xbf58476d1ce4e5b9ULL;
    draw ^= draw >> 27;
    draw *= 0x94d049bb133111ebULL;
    draw ^= draw >> 31;
    const auto half = span.count() / 2;
    const auto range = static_cast<std::uint64_t>(span.count() - half);
    return std::chrono::milliseconds(half + 1 + static_cast<long long>(draw % range));
}

}  // namespace qvlink::records
