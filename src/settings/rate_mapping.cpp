#include "settings/rate_mapping.h"

RateMapping MapRate(std::int32_t v)
{
    if (v <= 17) {
        // Far below the slider's range the rate could reach 0 or overflow; keep it positive.
        const std::int64_t rate = 210 - 10 * static_cast<std::int64_t>(v);
        const std::int32_t r = rate > 1000 ? 1000 : static_cast<std::int32_t>(rate);
        return {r, 1000 / r};
    }
    if (v <= 56) {
        const std::int32_t r = 57 - v;
        return {r, 1000 / r};
    }
    if (v <= 86) {
        return {20, 1000 * v - 56000};
    }
    if (v <= 99) {
        return {20, 2000 * v - 142000};
    }
    return {20, 60000};
}
