#include "platform/Ansi.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <iconv.h>

namespace maj {

namespace {

// Length of the UTF-8 sequence that starts with `lead`: its leading one bits, one to four.
int sequenceLength(unsigned char lead)
{
    return std::clamp(std::countl_one(lead), 1, 4);
}

// Converts with iconv; each character it cannot convert (or broken sequence), `skip(byte)` bytes
// long, becomes `replacement`. `growth`: the most output bytes one input byte can give.
QByteArray convert(const char* to, const char* from, QByteArray in, int growth, const QByteArray& replacement,
                   int (*skip)(unsigned char))
{
    if (in.isEmpty())
        return {};
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        qFatal("iconv has no WINDOWS-1252 converter");
    QByteArray out(in.size() * growth, Qt::Uninitialized);
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        const size_t skipped = qMin(size_t(skip(static_cast<unsigned char>(*src))), srcLeft);
        src += skipped;
        srcLeft -= skipped;
        dst = std::copy(replacement.begin(), replacement.end(), dst);
        dstLeft -= size_t(replacement.size());
    }
    iconv_close(cd);
    out.truncate(qsizetype(dst - out.data()));
    return out;
}

} // namespace

QByteArray toAnsi(const QString& text)
{
    // Windows-1252 never takes more bytes than UTF-8; a character outside the code page gives "?".
    return convert("WINDOWS-1252", "UTF-8", text.toUtf8(), 1, "?", sequenceLength);
}

QString fromAnsi(const QByteArray& bytes)
{
    // Each byte takes at most three bytes of UTF-8; an undefined one gives U+FFFD.
    return QString::fromUtf8(
        convert("UTF-8", "WINDOWS-1252", bytes, 3, "\xEF\xBF\xBD", [](unsigned char) { return 1; }));
}

} // namespace maj
