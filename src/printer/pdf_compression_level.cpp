// Qt compresses each PDF content stream at zlib's default level and offers
// no way to ask for another; on a text job that compression took as long as
// everything else together. The program therefore supplies zlib's
// deflateInit_ itself (the executable's definition comes first for every
// library) and turns the default level into the fastest one: the PDF grows
// by about three quarters, and is written in little more than half the time.
// An explicit level (PNG pages ask for their own) is passed on unchanged.
#include <zlib.h>

extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int streamSize)
{
    constexpr int kDefaultMemoryLevel = 8;
    if (level == Z_DEFAULT_COMPRESSION) level = Z_BEST_SPEED;
    return deflateInit2_(stream, level, Z_DEFLATED, MAX_WBITS, kDefaultMemoryLevel, Z_DEFAULT_STRATEGY, version,
                         streamSize);
}
