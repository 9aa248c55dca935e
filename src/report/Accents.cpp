#include "report/Report.h"

namespace maj {

QString enleveaccents(const QString& text)
{
    static const QString from = QStringLiteral("ÀÁÂÃÄÅàáâãäåÒÓÔÕÖØòóôõöøÈÉÊËèéêëÌÍÎÏìíîïÙÚÛÜùúûüÿÑñÇç ");
    static const QString to = QStringLiteral("AAAAAAaaaaaaOOOOOOooooooEEEEeeeeIIIIiiiiUUUUuuuuyNnCc_");
    static_assert(sizeof(u"ÀÁÂÃÄÅàáâãäåÒÓÔÕÖØòóôõöøÈÉÊËèéêëÌÍÎÏìíîïÙÚÛÜùúûüÿÑñÇç ") / sizeof(char16_t) == 55);
    QString result = text;
    for (QChar& c : result) {
        const qsizetype at = from.indexOf(c);
        if (at >= 0)
            c = to.at(at);
    }
    return result;
}

} // namespace maj
