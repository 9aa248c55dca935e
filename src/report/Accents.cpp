#include "report/Report.h"

namespace maj {

QString enleveaccents(QString text)
{
    static const QString from = QStringLiteral("ÀÁÂÃÄÅàáâãäåÒÓÔÕÖØòóôõöøÈÉÊËèéêëÌÍÎÏìíîïÙÚÛÜùúûüÿÑñÇç ");
    static const QString to = QStringLiteral("AAAAAAaaaaaaOOOOOOooooooEEEEeeeeIIIIiiiiUUUUuuuuyNnCc_");
    static_assert(sizeof(u"ÀÁÂÃÄÅàáâãäåÒÓÔÕÖØòóôõöøÈÉÊËèéêëÌÍÎÏìíîïÙÚÛÜùúûüÿÑñÇç ") / sizeof(char16_t) == 55);
    for (QChar& c : text) {
        const qsizetype at = from.indexOf(c);
        if (at >= 0)
            c = to.at(at);
    }
    return text;
}

} // namespace maj
