#include "platform/Ansi.h"

#include <cerrno>
#include <iconv.h>

namespace maj {

namespace {

// Length of the UTF-8 sequence that starts with `lead`.
int sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

QByteArray toAnsi(const QString& text)
{
    QByteArray in = text.toUtf8();
    QByteArray out;
    if (in.isEmpty())
        return out;
    iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    if (cd == iconv_t(-1))
        qFatal("iconv has no WINDOWS-1252 converter");
    // Windows-1252 never takes more bytes than UTF-8.
    out.resize(in.size());
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A character outside the code page (or a broken sequence): one "?" in its place.
        const size_t skip = qMin(size_t(sequenceLength(static_cast<unsigned char>(*src))), srcLeft);
        src += skip;
        srcLeft -= skip;
        *dst++ = '?';
        --dstLeft;
    }
    iconv_close(cd);
    out.truncate(int(dst - out.data()));
    return out;
}

QString fromAnsi(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == iconv_t(-1))
        qFatal("iconv has no WINDOWS-1252 converter");
    QByteArray in = bytes;
    // Each byte takes at most three bytes of UTF-8 (U+FFFD too).
    QByteArray out(in.size() * 3, Qt::Uninitialized);
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        ++src;
        --srcLeft;
        for (const char c : {'\xEF', '\xBF', '\xBD'})
            *dst++ = c;
        dstLeft -= 3;
    }
    iconv_close(cd);
    out.truncate(qsizetype(dst - out.data()));
    return QString::fromUtf8(out);
}

} // namespace maj
