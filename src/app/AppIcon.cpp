#include "app/AppIcon.h"

#include <QtGlobal>

// The resources of a static library must be registered by name; Q_INIT_RESOURCE only works outside
// any namespace.
static void initAppResources()
{
    Q_INIT_RESOURCE(maj);
}

namespace maj {

QPixmap applicationPixmap()
{
    static const bool registered = (initAppResources(), true);
    Q_UNUSED(registered);
    return QPixmap(QStringLiteral(":/maj/praxidome.xpm"));
}

} // namespace maj
