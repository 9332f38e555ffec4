// The code page against the C library's own Windows-1251 (glibc's iconv; Linux builds only).
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>

#include "app/CodePage.h"

namespace kvartix {
namespace {

// The character glibc makes of the byte; 0 when it has none.
char32_t LibcCp1251(std::uint8_t byte) {
    const iconv_t cd = iconv_open("UTF-32LE", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[4] = {};
    char* inp = in;
    char* outp = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1, outLeft = 4;
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return ok ? out[0] | out[1] << 8 | out[2] << 16 | char32_t{out[3]} << 24 : 0;
}

TEST(CodePage, the_upper_half_is_the_c_librarys_windows_1251_both_ways) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x98) continue;  // unassigned: below
        const char32_t c = LibcCp1251(static_cast<std::uint8_t>(b));
        ASSERT_NE(c, 0u) << "no CP1251 in iconv";
        EXPECT_EQ(FromCp1251(static_cast<std::uint8_t>(b)), c) << std::hex << b;
        std::uint8_t back = 0;
        EXPECT_TRUE(ToCp1251(c, back) && back == b) << std::hex << b;
    }
    // The unassigned byte goes through and back as itself.
    std::uint8_t back = 0;
    EXPECT_TRUE(ToCp1251(FromCp1251(0x98), back) && back == 0x98);
}

}  // namespace
}  // namespace kvartix
