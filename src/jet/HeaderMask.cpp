#include "jet/HeaderMask.h"

#include <array>
#include <utility>

#include "jet/JetFormat.h"

namespace lumaro::jet {

void applyHeaderMask(uint8_t* page0) {
    using namespace format;
    constexpr std::size_t keyLength = sizeof kHeaderMaskKey;
    std::array<uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (std::size_t i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + kHeaderMaskKey[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    uint8_t* data = page0 + kHeaderMaskStart;
    for (std::size_t n = 0, i = 0, j = 0; n < kHeaderMaskLength; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

}  // namespace lumaro::jet
