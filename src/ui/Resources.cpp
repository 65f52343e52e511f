#include "ui/Resources.h"

#include <QtGlobal>

void initOrvantoResources() {
    Q_INIT_RESOURCE(orvanto);
}
