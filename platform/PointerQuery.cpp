#include "platform/PointerQuery.h"

#include <QCursor>

QPoint QtPointerQuery::ScreenPos() const {
    return QCursor::pos();
}
